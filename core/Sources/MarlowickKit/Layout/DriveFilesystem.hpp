#pragma once
// The file system of a drive's data volume, with the facts the rest of the system asks of it.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace marlowick {

enum class DriveFilesystem { exfat, fat32 };

inline constexpr std::array<DriveFilesystem, 2> allDriveFilesystems{DriveFilesystem::exfat, DriveFilesystem::fat32};

[[nodiscard]] constexpr std::string_view rawValue(DriveFilesystem fs) {
    return fs == DriveFilesystem::exfat ? "exfat" : "fat32";
}
[[nodiscard]] constexpr std::string_view displayName(DriveFilesystem fs) {
    return fs == DriveFilesystem::exfat ? "exFAT" : "FAT32";
}
[[nodiscard]] constexpr int mbrPartitionType(DriveFilesystem fs) { return fs == DriveFilesystem::exfat ? 0x07 : 0x0C; }
[[nodiscard]] constexpr int maxClusterBytes(DriveFilesystem fs) {
    return fs == DriveFilesystem::exfat ? 33554432 : 32768;
}
// None for exFAT: it has no practical file-size ceiling.
[[nodiscard]] constexpr std::optional<std::int64_t> maxFileBytes(DriveFilesystem fs) {
    if (fs == DriveFilesystem::exfat) return std::nullopt;
    return std::int64_t{4294967295};
}
// The data volume's label when the user gives none, for a Ventoy drive and a wiped one.
inline constexpr std::string_view defaultDataVolumeLabel = "MARLOWICK";

[[nodiscard]] constexpr bool offeredForPlainFormat(DriveFilesystem fs) { return fs == DriveFilesystem::exfat; }
// Exactly "exfat" or "fat32".
[[nodiscard]] constexpr std::optional<DriveFilesystem> driveFilesystemFromRaw(std::string_view raw) {
    if (raw == "exfat") return DriveFilesystem::exfat;
    if (raw == "fat32") return DriveFilesystem::fat32;
    return std::nullopt;
}

}  // namespace marlowick
