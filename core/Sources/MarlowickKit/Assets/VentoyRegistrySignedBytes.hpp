#pragma once
// The release registry exactly as signed: the document's bytes and the DER ECDSA P-256
// signature over them, as the registry cache holds them and as they travel to the
// helper program, which checks them again.

#include <cstdint>
#include <vector>

namespace marlowick {

struct VentoyRegistrySignedBytes {
    std::vector<std::uint8_t> payload;
    std::vector<std::uint8_t> signature;
    bool operator==(const VentoyRegistrySignedBytes&) const = default;
};

}  // namespace marlowick
