#pragma once
// Turns a volume's length, sector size and cluster size into a complete ExfatLayout.
// Pure arithmetic: no device, no clock. Every refusal is a Result case.

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Exfat/ExfatLayout.hpp"

namespace marlowick::ExfatLayoutCalculator {

inline constexpr std::array<int, 4> supportedSectorSizes{512, 1024, 2048, 4096};
inline constexpr std::int64_t bootRegionSectors = 24;  // main and backup boot regions, 12 sectors each
inline constexpr std::int64_t minFatOffsetSectors = 24;
inline constexpr std::int64_t rootDirClusters = 1;
inline constexpr std::int64_t maxClusterCount = 0xFFFFFFF5;  // cluster indices above this are reserved marks
inline constexpr std::int64_t maxClusterBytes = 33554432;

struct VolumeTooSmall {
    std::int64_t volumeSectors;
    std::int64_t minimum;
    bool operator==(const VolumeTooSmall&) const = default;
};
struct InvalidParameters {
    std::string reason;
    bool operator==(const InvalidParameters&) const = default;
};
using Result = std::variant<ExfatLayout, VolumeTooSmall, InvalidParameters>;

[[nodiscard]] bool isSupportedSectorSize(std::int64_t bytesPerSector);

// 4 KiB clusters up to 256 MiB, 32 KiB up to 32 GiB, 128 KiB above; in sectors, at least 1.
[[nodiscard]] std::int64_t recommendedSectorsPerCluster(std::int64_t volumeBytes, int bytesPerSector);

[[nodiscard]] Result calculate(std::int64_t volumeLengthSectors, int bytesPerSector, std::int64_t sectorsPerCluster,
                               std::int64_t partitionOffsetSectors);

// "success(...)", "volumeTooSmall(volumeSectors: 32, minimum: 40)", "invalidParameters(reason: \"...\")"
[[nodiscard]] std::string render(const Result& result);
void PrintTo(const VolumeTooSmall& value, std::ostream* os);
void PrintTo(const InvalidParameters& value, std::ostream* os);

}  // namespace marlowick::ExfatLayoutCalculator

namespace marlowick {
[[nodiscard]] std::string render(const ExfatLayout& layout);
void PrintTo(const ExfatLayout& layout, std::ostream* os);
}  // namespace marlowick
