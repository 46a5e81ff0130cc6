#pragma once
// Why a FAT32 format was refused before anything was written. Returned inside
// Fat32FormatResult, never thrown.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Fat32/Fat32LayoutCalculator.hpp"

namespace marlowick {

struct Fat32FormatError {
    struct UnsupportedSectorSize {
        int sectorSize;
        bool operator==(const UnsupportedSectorSize&) const = default;
    };
    struct InvalidSectorsPerCluster {
        std::int64_t sectorsPerCluster;
        bool operator==(const InvalidSectorsPerCluster&) const = default;
    };
    struct ClusterTooLarge {
        std::int64_t clusterBytes;
        bool operator==(const ClusterTooLarge&) const = default;
    };
    struct VolumeOutOfDeviceBounds {
        std::int64_t volumeOffsetSectors;
        std::int64_t volumeLengthSectors;
        std::int64_t deviceSectorCount;
        bool operator==(const VolumeOutOfDeviceBounds&) const = default;
    };
    // The geometry's own refusals, passed on unchanged.
    using VolumeTooSmall = Fat32LayoutCalculator::Result::VolumeTooSmall;
    using VolumeTooLarge = Fat32LayoutCalculator::Result::VolumeTooLarge;
    struct VolumeLabelTooLong {
        std::int64_t length;  // in characters, as a person counts them
        bool operator==(const VolumeLabelTooLong&) const = default;
    };
    struct Unexpected {
        std::string reason;
        bool operator==(const Unexpected&) const = default;
    };
    using Case = std::variant<UnsupportedSectorSize, InvalidSectorsPerCluster, ClusterTooLarge, VolumeOutOfDeviceBounds,
                              VolumeTooSmall, VolumeTooLarge, VolumeLabelTooLong, Unexpected>;

    Case value;
    bool operator==(const Fat32FormatError&) const = default;
};

// "volumeLabelTooLong(length: 12)"
[[nodiscard]] std::string render(const Fat32FormatError& error);
void PrintTo(const Fat32FormatError& error, std::ostream* os);

}  // namespace marlowick
