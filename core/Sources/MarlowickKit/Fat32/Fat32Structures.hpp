#pragma once
// FAT32 on-disk structures: builders of the boot sector, FSInfo sector, first FAT sector
// and root-directory cluster of a fresh volume, the 11-byte label encoding, and readers
// of an existing volume's label, serial and free space. The builders are pure; only
// readFreeSpace reads a device, and it never writes, flushes or closes it.

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Fat32/Fat32Layout.hpp"

namespace marlowick::Fat32Structures {

inline constexpr std::uint8_t mediaDescriptor = 0xF8;
inline constexpr std::uint32_t fatEndOfChain = 0x0FFFFFFF;
inline constexpr std::uint32_t fatEntry0 = 0x0FFFFFF8;  // media descriptor in the low byte
inline constexpr int fsInfoSector = 1;
inline constexpr int backupBootSector = 6;
inline constexpr int backupFsInfoSector = 7;
inline constexpr std::uint8_t attrVolumeID = 0x08;
inline constexpr int maxVolumeLabelChars = 11;
// Characters a short name may not hold; the label encoding replaces each with "_".
inline constexpr std::string_view forbiddenLabelChars = "\"*+,./:;<=>?[\\]|";

using Label = std::optional<std::string>;
using EncodedLabel = std::array<std::uint8_t, 11>;

struct FreeSpace {
    std::int64_t freeBytes = 0;
    std::int64_t totalBytes = 0;
    bool operator==(const FreeSpace&) const = default;
};
void PrintTo(const FreeSpace& space, std::ostream* os);

// Each is exactly one sector (or one cluster) of the layout's size.
[[nodiscard]] std::vector<std::uint8_t> buildBootSector(const Fat32Layout& layout, std::uint32_t volumeSerialNumber,
                                                        const Label& volumeLabel);
[[nodiscard]] std::vector<std::uint8_t> buildFsInfoSector(const Fat32Layout& layout);
[[nodiscard]] std::vector<std::uint8_t> buildFatHeadSector(const Fat32Layout& layout);
// All zero, or a volume-label entry first when the label is not empty (after leading spaces).
[[nodiscard]] std::vector<std::uint8_t> buildRootDirectoryCluster(const Fat32Layout& layout,
                                                                  const Label& volumeLabel);

// Leading spaces are left out (no directory entry name may begin with one). Absent or
// empty then gives "NO NAME    ". Otherwise upper-cased, the first 11 characters, each
// printable ASCII character kept and every other character one "_", padded with spaces.
[[nodiscard]] EncodedLabel encodeVolumeLabel(const Label& label);

// At least 512 bytes, 55 AA at 510, extended signature 0x29 at 66, "FAT32   " at 82.
[[nodiscard]] bool isFat32BootSector(std::span<const std::uint8_t> bytes);
// The boot sector's label without trailing spaces and NULs; absent unless a FAT32 boot sector.
[[nodiscard]] std::optional<std::string> readVolumeLabelIfFat32(std::span<const std::uint8_t> bytes);
// The volume ID of a boot sector (at least 71 bytes; shorter throws std::out_of_range).
[[nodiscard]] std::uint32_t volumeSerial(std::span<const std::uint8_t> bytes);
// Free and total data bytes from the boot sector and FSInfo at `startSector`; the FAT is
// not scanned. Absent on any read failure or inconsistency.
[[nodiscard]] std::optional<FreeSpace> readFreeSpace(BlockDevice& block, std::int64_t startSector);

}  // namespace marlowick::Fat32Structures
