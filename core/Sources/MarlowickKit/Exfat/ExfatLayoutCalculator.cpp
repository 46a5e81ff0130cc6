#include "Exfat/ExfatLayoutCalculator.hpp"

#include <algorithm>
#include <bit>

#include "Text/CaseDescription.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick::ExfatLayoutCalculator {
namespace {

constexpr std::int64_t smallVolumeLimitBytes = 268435456;   // up to here: 4 KiB clusters
constexpr std::int64_t mediumVolumeLimitBytes = 34359738368;  // up to here: 32 KiB clusters

std::int64_t ceilDiv(std::int64_t value, std::int64_t divisor) { return (value + divisor - 1) / divisor; }

bool isPowerOfTwo(std::int64_t value) { return value >= 1 && std::has_single_bit(static_cast<std::uint64_t>(value)); }

int log2Of(std::int64_t powerOfTwo) { return std::countr_zero(static_cast<std::uint64_t>(powerOfTwo)); }

}  // namespace

bool isSupportedSectorSize(std::int64_t bytesPerSector) {
    return std::find(supportedSectorSizes.begin(), supportedSectorSizes.end(), bytesPerSector) !=
           supportedSectorSizes.end();
}

std::int64_t recommendedSectorsPerCluster(std::int64_t volumeBytes, int bytesPerSector) {
    std::int64_t clusterBytes = 131072;
    if (volumeBytes <= smallVolumeLimitBytes) {
        clusterBytes = 4096;
    } else if (volumeBytes <= mediumVolumeLimitBytes) {
        clusterBytes = 32768;
    }
    return std::max<std::int64_t>(1, clusterBytes / std::max(1, bytesPerSector));
}

Result calculate(std::int64_t volumeLengthSectors, int bytesPerSector, std::int64_t sectorsPerCluster,
                 std::int64_t partitionOffsetSectors) {
    const std::int64_t length = volumeLengthSectors;
    const std::int64_t sectorBytes = bytesPerSector;
    const std::int64_t perCluster = sectorsPerCluster;
    if (!isSupportedSectorSize(sectorBytes)) {
        return InvalidParameters{"unsupported bytesPerSector " + std::to_string(bytesPerSector)};
    }
    if (!isPowerOfTwo(perCluster)) {
        return InvalidParameters{"sectorsPerCluster must be a power of two, was " + std::to_string(perCluster)};
    }
    std::int64_t clusterBytes = 0;
    const bool overflows = __builtin_mul_overflow(sectorBytes, perCluster, &clusterBytes);
    if (overflows || clusterBytes > maxClusterBytes) {
        // Past 2^63 the product cannot be shown; the limit it breaks is what matters.
        const std::string shown = overflows ? "above 2^63" : std::to_string(clusterBytes);
        return InvalidParameters{"cluster size " + shown + " exceeds 32 MB"};
    }
    if (length < 1) return InvalidParameters{"volumeLengthSectors must be positive"};
    if (perCluster + bootRegionSectors >= length) {
        return VolumeTooSmall{length, bootRegionSectors + 2 * perCluster};
    }

    // The FAT is sized for the most clusters the volume could hold, before the heap's
    // alignment takes its share: so it always covers the final count.
    const std::int64_t clusterUpperBound = (length - bootRegionSectors) / perCluster;
    const std::int64_t fatLength = ceilDiv(clusterUpperBound * 4 + 8, sectorBytes);
    const std::int64_t heapOffset = ceilDiv(minFatOffsetSectors + fatLength, perCluster) * perCluster;
    if (heapOffset >= length) return VolumeTooSmall{length, heapOffset + perCluster};

    const std::int64_t clusterCount = std::min((length - heapOffset) / perCluster, maxClusterCount);
    const std::int64_t bitmapBytes = ceilDiv(clusterCount, 8);
    const std::int64_t bitmapClusters = ceilDiv(bitmapBytes, clusterBytes);
    const std::int64_t upcaseClusters = ceilDiv(ExfatStructures::upcaseTableLength, clusterBytes);
    const std::int64_t needed = bitmapClusters + upcaseClusters + rootDirClusters;
    if (clusterCount < needed) return VolumeTooSmall{length, heapOffset + needed * perCluster};

    ExfatLayout layout;
    layout.volumeLengthSectors = length;
    layout.partitionOffsetSectors = partitionOffsetSectors;
    layout.bytesPerSector = bytesPerSector;
    layout.bytesPerSectorShift = log2Of(sectorBytes);
    layout.sectorsPerCluster = static_cast<int>(perCluster);
    layout.sectorsPerClusterShift = log2Of(perCluster);
    layout.fatOffsetSectors = minFatOffsetSectors;
    layout.fatLengthSectors = fatLength;
    layout.clusterHeapOffsetSectors = heapOffset;
    layout.clusterCount = clusterCount;
    layout.numberOfFats = 1;
    layout.bitmapFirstCluster = ExfatLayout::firstDataCluster;
    layout.bitmapClusters = bitmapClusters;
    layout.bitmapLengthBytes = bitmapBytes;
    layout.upcaseFirstCluster = ExfatLayout::firstDataCluster + bitmapClusters;
    layout.upcaseClusters = upcaseClusters;
    layout.rootFirstCluster = layout.upcaseFirstCluster + upcaseClusters;
    layout.firstClusterOfRootDirectory = layout.rootFirstCluster;
    layout.rootClusters = rootDirClusters;
    return layout;
}

namespace {

struct Renderer {
    std::string operator()(const ExfatLayout& layout) const {
        return CaseDescription("success").rawValue(marlowick::render(layout)).str();
    }
    std::string operator()(const VolumeTooSmall& e) const {
        return CaseDescription("volumeTooSmall").field("volumeSectors", e.volumeSectors).field("minimum", e.minimum).str();
    }
    std::string operator()(const InvalidParameters& e) const {
        return CaseDescription("invalidParameters").field("reason", e.reason).str();
    }
};

}  // namespace

std::string render(const Result& result) { return std::visit(Renderer{}, result); }
void PrintTo(const VolumeTooSmall& value, std::ostream* os) { *os << Renderer{}(value); }
void PrintTo(const InvalidParameters& value, std::ostream* os) { *os << Renderer{}(value); }

}  // namespace marlowick::ExfatLayoutCalculator

namespace marlowick {

std::string render(const ExfatLayout& layout) {
    return CaseDescription("ExfatLayout")
        .field("volumeLengthSectors", layout.volumeLengthSectors)
        .field("partitionOffsetSectors", layout.partitionOffsetSectors)
        .field("bytesPerSector", layout.bytesPerSector)
        .field("sectorsPerCluster", layout.sectorsPerCluster)
        .field("fatLengthSectors", layout.fatLengthSectors)
        .field("clusterHeapOffsetSectors", layout.clusterHeapOffsetSectors)
        .field("clusterCount", layout.clusterCount)
        .field("bitmapClusters", layout.bitmapClusters)
        .field("bitmapLengthBytes", layout.bitmapLengthBytes)
        .field("upcaseFirstCluster", layout.upcaseFirstCluster)
        .field("upcaseClusters", layout.upcaseClusters)
        .field("rootFirstCluster", layout.rootFirstCluster)
        .str();
}

void PrintTo(const ExfatLayout& layout, std::ostream* os) { *os << render(layout); }

}  // namespace marlowick
