#pragma once
// Pure FAT32 geometry: validates a volume's numbers and derives the FAT length, the
// cluster-aligned data region and the cluster count. Values in, values out.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Fat32/Fat32Layout.hpp"

namespace marlowick::Fat32LayoutCalculator {

inline constexpr int baseReservedSectors = 32;
inline constexpr int numberOfFats = 2;
// Below this many clusters every FAT driver reads the volume as FAT16.
inline constexpr std::int64_t minClusterCount = 65525;
inline constexpr std::int64_t maxClusterCount = 268435445;  // 0x0FFFFFF5
inline constexpr std::int64_t maxClusterBytes = 32768;
inline constexpr std::int64_t maxVolumeSectors = 4294967295;  // the 32-bit total-sectors field
inline constexpr int supportedSectorSizes[] = {512, 1024, 2048, 4096};

[[nodiscard]] bool isSupportedSectorSize(std::int64_t bytesPerSector);
// At least 1 and no two set bits.
[[nodiscard]] bool isPowerOfTwo(std::int64_t sectorsPerCluster);
// bytesPerSector × sectorsPerCluster, held at the int64 limits instead of overflowing.
[[nodiscard]] std::int64_t clusterBytes(int bytesPerSector, std::int64_t sectorsPerCluster);

struct Result {
    struct Success {
        Fat32Layout layout;
        bool operator==(const Success&) const = default;
    };
    // `minimum` is the smallest volume length that this sector and cluster size accept.
    struct VolumeTooSmall {
        std::int64_t volumeSectors;
        std::int64_t minimum;
        bool operator==(const VolumeTooSmall&) const = default;
    };
    struct VolumeTooLarge {
        std::string reason;
        bool operator==(const VolumeTooLarge&) const = default;
    };
    struct InvalidParameters {
        std::string reason;
        bool operator==(const InvalidParameters&) const = default;
    };
    using Case = std::variant<Success, VolumeTooSmall, VolumeTooLarge, InvalidParameters>;

    Case value;
    bool operator==(const Result&) const = default;
};

// "volumeTooSmall(volumeSectors: 66581, minimum: 66599)", "success(Fat32Layout(...))"
[[nodiscard]] std::string render(const Result& result);
void PrintTo(const Result& result, std::ostream* os);

[[nodiscard]] Result calculate(std::int64_t volumeLengthSectors, int bytesPerSector, std::int64_t sectorsPerCluster,
                               std::int64_t partitionOffsetSectors);

// Cluster size by volume size (512 B up to 260 MiB, 4 KiB up to 8 GiB, 8 KiB up to 16 GiB,
// 16 KiB up to 32 GiB, 32 KiB above), in sectors, at least 1.
[[nodiscard]] int recommendedSectorsPerCluster(std::int64_t volumeBytes, int bytesPerSector);

}  // namespace marlowick::Fat32LayoutCalculator
