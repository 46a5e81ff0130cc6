#pragma once
// One partition as an MBR entry describes it.

#include <cstdint>

namespace marlowick {

struct PartitionEntry {
    bool bootable = false;     // the MBR active flag
    std::uint8_t type = 0;     // the MBR partition type byte
    std::int64_t startLba = 0;
    std::int64_t sectorCount = 0;
    bool operator==(const PartitionEntry&) const = default;
};

}  // namespace marlowick
