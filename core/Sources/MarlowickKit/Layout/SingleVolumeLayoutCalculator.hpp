#pragma once
// Derives the single-volume layout of a disk from its size. Pure: no device, no clock.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Layout/LayoutRefusal.hpp"
#include "Layout/SingleVolumeLayout.hpp"

namespace marlowick::SingleVolumeLayoutCalculator {

inline constexpr std::int64_t partitionStartSector = 2048;
// 0x07 whatever the file system: the plain format offers exFAT only.
inline constexpr std::uint8_t partitionTypeData = 0x07;
inline constexpr std::int64_t minimumDiskSectorCount = 2049;
using LayoutRefusal::maxMbrAddressableSectors;

struct Success {
    SingleVolumeLayout layout;
    bool operator==(const Success&) const = default;
};
using LayoutRefusal::DiskTooLargeForMbr;
using LayoutRefusal::DiskTooSmall;
using Result = std::variant<Success, DiskTooSmall, DiskTooLargeForMbr>;

// Callers pass the geometry of an opened device (sectorSize ≥ 1); the sector size is
// only carried into the layout.
[[nodiscard]] Result calculate(std::int64_t diskSectorCount, int sectorSize);

// "diskTooSmall(diskSectorCount: 2048, minimum: 2049)"
[[nodiscard]] std::string render(const Result& result);
void PrintTo(const Success& value, std::ostream* os);

}  // namespace marlowick::SingleVolumeLayoutCalculator
