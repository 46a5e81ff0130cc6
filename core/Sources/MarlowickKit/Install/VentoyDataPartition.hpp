#pragma once
// Partition 1 of a fresh Ventoy install: the format parameters derived from the layout
// and the options, the formatter's own checks run before the installer writes anything
// (so a label, cluster size or geometry the formatter would refuse stops the run while
// the drive is untouched), and the format itself through the formatter interfaces.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "Block/BlockDevice.hpp"
#include "Exfat/ExfatFormatter.hpp"
#include "Fat32/Fat32Formatter.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick::VentoyDataPartition {

struct Request {
    DriveFilesystem filesystem = DriveFilesystem::exfat;
    std::string volumeLabel;
    std::optional<std::int64_t> clusterBytes;  // none lets the formatter choose
    std::int32_t diskSignature = 0;             // its 32 bits become the volume serial number
    bool operator==(const Request&) const = default;
};

// Volume = partition 1; sectors per cluster = clusterBytes ÷ sector size (so a cluster
// below one sector asks for 0, which the formatters refuse).
[[nodiscard]] ExfatFormatParams exfatParams(const VentoyLayout& layout, const Request& request);
[[nodiscard]] Fat32FormatParams fat32Params(const VentoyLayout& layout, const Request& request);

// The default formatters' checks, without a write: none, or the refusal
// "exFAT format rejected: <error>" / "FAT32 format rejected: <error>".
[[nodiscard]] std::optional<std::string> check(const VentoyLayout& layout, const Request& request,
                                               std::int64_t deviceSectorCount);

struct Formatted {
    std::int64_t clusterCount = 0;
    std::int64_t clusterSizeBytes = 0;
    bool operator==(const Formatted&) const = default;
};

// Formats partition 1; a failure is the note line that describes it
// ("exFAT format write failed at FAT: <error>").
[[nodiscard]] std::variant<Formatted, std::string> format(BlockDevice& block, const VentoyLayout& layout,
                                                          const Request& request, const ExfatFormatter& exfat,
                                                          const Fat32Formatter& fat32);

}  // namespace marlowick::VentoyDataPartition
