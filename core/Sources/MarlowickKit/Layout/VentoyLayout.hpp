#pragma once
// The partition geometry of a Ventoy drive: data partition 1 from sector 2048, the
// EFI partition 2 of 65536 sectors near the end, and the boot loader's core image
// between the partition table and partition 1.

#include <cstdint>
#include <vector>

#include "Layout/PartitionEntry.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick {

struct VentoyLayout {
    static constexpr std::int64_t mbrCoreStart = 1;
    static constexpr std::int64_t gptCoreStart = 34;

    std::int64_t diskSectorCount = 0;
    int sectorSize = 0;
    std::int64_t part1StartSector = 0;
    std::int64_t part1SectorCount = 0;
    std::int64_t part2StartSector = 0;
    std::int64_t part2SectorCount = 0;
    PartitionStyle partitionStyle = PartitionStyle::mbr;
    std::int64_t coreStartSector = 0;

    [[nodiscard]] std::int64_t part1EndSector() const { return part1StartSector + part1SectorCount - 1; }
    [[nodiscard]] std::int64_t part2EndSector() const { return part2StartSector + part2SectorCount - 1; }
    // How many sectors the core image may occupy before partition 1 begins.
    [[nodiscard]] std::int64_t coreSectorCapacity() const { return part1StartSector - coreStartSector; }

    // Partition 1 (active, the given type), then partition 2 (inactive, EFI 0xEF).
    [[nodiscard]] std::vector<PartitionEntry> toPartitionEntries(std::uint8_t part1Type) const {
        return {PartitionEntry{true, part1Type, part1StartSector, part1SectorCount},
                PartitionEntry{false, 0xEF, part2StartSector, part2SectorCount}};
    }

    bool operator==(const VentoyLayout&) const = default;
};

}  // namespace marlowick
