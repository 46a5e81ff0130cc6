#pragma once
// Derives the Ventoy layout of a disk from its size: data partition 1 from sector 2048
// up to partition 2, the 65536-sector EFI partition 2 at the end, before an optional
// reserve and (on GPT) the 33 backup sectors. Pure: no device, no clock.

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Layout/DriveFilesystem.hpp"
#include "Layout/LayoutRefusal.hpp"
#include "Layout/PartitionStyle.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick::VentoyLayoutCalculator {

inline constexpr std::int64_t part1StartSector = 2048;
inline constexpr std::int64_t part2SectorCount = 65536;
// A count of sectors whatever the sector size.
inline constexpr std::int64_t part2AlignmentSectors = 8;
inline constexpr std::uint8_t part1TypeData = 0x07;
inline constexpr std::uint8_t part1TypeFat32 = 0x0C;
inline constexpr std::uint8_t part2TypeEfi = 0xEF;
inline constexpr std::array<std::uint8_t, 2> part1DataTypes{part1TypeData, part1TypeFat32};
// Backup entry array (32) and backup header (1) at the end of a GPT disk.
inline constexpr std::int64_t gptBackupReserveSectors = 33;
// The minimum reported to the user, before the reserve is added.
inline constexpr std::int64_t minimumDiskSectorCount = 67626;
using LayoutRefusal::maxMbrAddressableSectors;

// The one rule for whether partition 2 may start here: partition 1 runs from its fixed
// start up to partition 2 and needs at least one sector. The calculator refuses a layout
// that breaks it and the drive detector accepts every start that keeps it.
[[nodiscard]] constexpr bool leavesPart1ASector(std::int64_t part2Start) {
    return part2Start > part1StartSector;
}

[[nodiscard]] constexpr bool isPart1DataType(std::uint8_t type) {
    return type == part1TypeData || type == part1TypeFat32;
}

struct Success {
    VentoyLayout layout;
    bool operator==(const Success&) const = default;
};
using LayoutRefusal::DiskTooLargeForMbr;
using LayoutRefusal::DiskTooSmall;
// A sector size below 1 or a negative reserve: no layout can be derived from them.
struct InvalidArguments {
    int sectorSize;
    std::int64_t reserveSectorsAtEnd;
    bool operator==(const InvalidArguments&) const = default;
};
using Result = std::variant<Success, DiskTooSmall, DiskTooLargeForMbr, InvalidArguments>;

// Never stops the process: every input, however hostile, gives one of the cases above.
[[nodiscard]] Result calculate(std::int64_t diskSectorCount, int sectorSize, PartitionStyle partitionStyle,
                               std::int64_t reserveSectorsAtEnd, bool alignTo4K);

// 0x0C for FAT32, 0x07 for exFAT.
[[nodiscard]] constexpr std::uint8_t part1Type(DriveFilesystem filesystem) {
    return filesystem == DriveFilesystem::fat32 ? part1TypeFat32 : part1TypeData;
}

// "diskTooSmall(diskSectorCount: 67584, minimum: 67626)"
[[nodiscard]] std::string render(const Result& result);
void PrintTo(const Success& value, std::ostream* os);
void PrintTo(const InvalidArguments& value, std::ostream* os);

}  // namespace marlowick::VentoyLayoutCalculator

namespace marlowick {
// "VentoyLayout(diskSectorCount: 62521344, sectorSize: 512, ...)"
[[nodiscard]] std::string render(const VentoyLayout& layout);
void PrintTo(const VentoyLayout& layout, std::ostream* os);
}  // namespace marlowick
