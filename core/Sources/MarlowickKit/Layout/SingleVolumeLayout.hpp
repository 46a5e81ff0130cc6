#pragma once
// The geometry of a drive wiped back to one plain data partition: one partition from
// sector 2048 to the end of the disk.

#include <cstdint>
#include <vector>

#include "Layout/PartitionEntry.hpp"

namespace marlowick {

struct SingleVolumeLayout {
    std::int64_t diskSectorCount = 0;
    int sectorSize = 0;
    std::int64_t partitionStartSector = 0;
    std::int64_t partitionSectorCount = 0;
    std::uint8_t partitionType = 0;

    // Exactly one entry, never bootable.
    [[nodiscard]] std::vector<PartitionEntry> toPartitionEntries() const {
        return {PartitionEntry{false, partitionType, partitionStartSector, partitionSectorCount}};
    }

    bool operator==(const SingleVolumeLayout&) const = default;
};

}  // namespace marlowick
