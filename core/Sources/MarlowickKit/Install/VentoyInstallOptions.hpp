#pragma once
// What a caller chooses for a Ventoy install: the data partition's file system, cluster
// size and label, the partition style, 4 KiB alignment and a reserve at the end of the
// drive. Every value that exists has passed the validating constructor, so the fields
// are read-only. The installer does not read ventoyVersion; it works from the boot
// files and the release manifest it is given.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Install/VentoyInstallOptionsError.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick {

class VentoyInstallOptions {
public:
    static constexpr std::int64_t minClusterBytes = 512;
    static constexpr std::int64_t maxClusterBytes = 33554432;  // exFAT; FAT32 stops at 32768
    static constexpr std::int64_t maxLabelLength = 11;
    // The data partition's label when the options carry none.
    static constexpr std::string_view defaultVolumeLabel = defaultDataVolumeLabel;

    // Throws the first VentoyInstallOptionsError that applies, checking in this order: a
    // negative reserve; a cluster size that is not a power of two, then one below 512 or
    // above the file system's ceiling; a label that is blank once white space and line
    // ends are trimmed, then one of 12 or more UTF-16 code units (counted untrimmed).
    // All fields are stored as given, the label untrimmed.
    explicit VentoyInstallOptions(DriveFilesystem dataFilesystem = DriveFilesystem::exfat,
                                  PartitionStyle partitionStyle = PartitionStyle::mbr,
                                  std::int64_t reserveBytesAtEnd = 0, bool alignTo4K = true,
                                  std::optional<std::string> ventoyVersion = std::nullopt,
                                  std::optional<std::int64_t> dataClusterBytes = std::nullopt,
                                  std::optional<std::string> volumeLabel = std::nullopt);

    // exFAT, MBR, no reserve, 4 KiB alignment, no version, cluster size or label. Built once.
    [[nodiscard]] static const VentoyInstallOptions& defaultOptions();

    [[nodiscard]] DriveFilesystem dataFilesystem() const { return dataFilesystemValue; }
    [[nodiscard]] PartitionStyle partitionStyle() const { return partitionStyleValue; }
    [[nodiscard]] std::int64_t reserveBytesAtEnd() const { return reserveBytesValue; }
    [[nodiscard]] bool alignTo4K() const { return alignTo4KValue; }
    [[nodiscard]] const std::optional<std::string>& ventoyVersion() const { return ventoyVersionValue; }
    [[nodiscard]] std::optional<std::int64_t> dataClusterBytes() const { return dataClusterBytesValue; }
    [[nodiscard]] const std::optional<std::string>& volumeLabel() const { return volumeLabelValue; }

    bool operator==(const VentoyInstallOptions&) const = default;

private:
    DriveFilesystem dataFilesystemValue;
    PartitionStyle partitionStyleValue;
    std::int64_t reserveBytesValue;
    bool alignTo4KValue;
    std::optional<std::string> ventoyVersionValue;
    std::optional<std::int64_t> dataClusterBytesValue;
    std::optional<std::string> volumeLabelValue;
};

void PrintTo(const VentoyInstallOptions& options, std::ostream* os);

}  // namespace marlowick
