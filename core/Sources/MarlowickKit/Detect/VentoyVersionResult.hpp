#pragma once
// What scanning a Ventoy drive's EFI partition for its version marker found.

#include <ostream>
#include <string>
#include <variant>

#include "Block/BlockError.hpp"

namespace marlowick {

struct VentoyVersionResult {
    // A valid version text, exactly as it stands on the drive (for example "1.1.10").
    struct Found {
        std::string version;
        bool operator==(const Found&) const = default;
    };
    // A sector read failed; the block layer's error, unchanged.
    struct ReadFailed {
        BlockError error;
        bool operator==(const ReadFailed&) const = default;
    };
    // The whole partition was scanned (or it is empty) without a valid version.
    struct NotFound {
        bool operator==(const NotFound&) const = default;
    };
    using Case = std::variant<Found, ReadFailed, NotFound>;

    Case value;
    bool operator==(const VentoyVersionResult&) const = default;
};

// "found(version: \"1.1.10\")", "readFailed(error: closed(operation: \"read\"))", "notFound"
[[nodiscard]] std::string render(const VentoyVersionResult& result);
void PrintTo(const VentoyVersionResult& result, std::ostream* os);

}  // namespace marlowick
