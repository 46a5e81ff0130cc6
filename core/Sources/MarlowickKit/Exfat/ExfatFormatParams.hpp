#pragma once
// What a caller asks of an exFAT format, and the two value types it gets back:
// the refusal reasons (ExfatFormatError) and the outcome (ExfatFormatResult).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "Block/BlockError.hpp"
#include "Exfat/ExfatLayout.hpp"

namespace marlowick {

struct ExfatFormatParams {
    std::int64_t volumeOffsetSectors = 0;  // first device sector of the volume
    std::int64_t volumeLengthSectors = 0;
    std::optional<std::string> volumeLabel;         // UTF-8; absent means no label characters
    std::optional<std::int64_t> sectorsPerCluster;  // absent: the formatter chooses
    std::uint32_t volumeSerialNumber = 0;

    // Low 32 bits of the current Unix time in milliseconds (whole seconds × 1000).
    [[nodiscard]] static std::uint32_t timeDerivedSerial();

    bool operator==(const ExfatFormatParams&) const = default;
};

struct ExfatFormatError {
    struct UnsupportedSectorSize {
        std::int64_t sectorSize;
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
    struct VolumeTooSmall {
        std::int64_t volumeSectors;
        std::int64_t minimum;
        bool operator==(const VolumeTooSmall&) const = default;
    };
    struct VolumeLabelTooLong {
        std::int64_t length;  // UTF-16 code units
        bool operator==(const VolumeLabelTooLong&) const = default;
    };
    struct GeometryTooLargeToFormat {
        std::string reason;
        bool operator==(const GeometryTooLargeToFormat&) const = default;
    };
    struct Unexpected {
        std::string reason;
        bool operator==(const Unexpected&) const = default;
    };
    using Case = std::variant<UnsupportedSectorSize, InvalidSectorsPerCluster, ClusterTooLarge, VolumeOutOfDeviceBounds,
                              VolumeTooSmall, VolumeLabelTooLong, GeometryTooLargeToFormat, Unexpected>;

    Case value;
    bool operator==(const ExfatFormatError&) const = default;
};

// "volumeTooSmall(volumeSectors: 40, minimum: 64)"
[[nodiscard]] std::string render(const ExfatFormatError& error);
void PrintTo(const ExfatFormatError& error, std::ostream* os);

struct ExfatFormatResult {
    // Written and flushed with this layout.
    struct Success {
        ExfatLayout layout;
        bool operator==(const Success&) const = default;
    };
    // Refused before anything was written, or the root directory could not be built.
    struct Invalid {
        ExfatFormatError error;
        bool operator==(const Invalid&) const = default;
    };
    // A device write or the flush failed at the named stage ("FAT", "flush", ...).
    struct WriteFailed {
        std::string stage;
        BlockError error;
        bool operator==(const WriteFailed&) const = default;
    };
    using Case = std::variant<Success, Invalid, WriteFailed>;

    Case value;
    bool operator==(const ExfatFormatResult&) const = default;
};

// "writeFailed(stage: \"FAT\", error: closed(operation: \"write\"))"
[[nodiscard]] std::string render(const ExfatFormatResult& result);
void PrintTo(const ExfatFormatResult& result, std::ostream* os);

}  // namespace marlowick
