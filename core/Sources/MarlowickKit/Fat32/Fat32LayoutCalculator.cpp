#include "Fat32/Fat32LayoutCalculator.hpp"

#include <algorithm>
#include <limits>

#include "Text/CaseDescription.hpp"

namespace marlowick::Fat32LayoutCalculator {
namespace {

struct Geometry {
    std::int64_t fatLengthSectors;
    std::int64_t dataRegionStart;
    std::int64_t clusterCount;
};

std::int64_t ceilDiv(std::int64_t numerator, std::int64_t denominator) {
    return (numerator + denominator - 1) / denominator;
}

// The cluster estimate ignores the space the FATs take, so the FATs come out a little
// larger than needed; the pad that aligns the data region to a cluster goes into the
// reserved region, and the FATs follow it directly.
Geometry geometry(std::int64_t volumeSectors, int bytesPerSector, std::int64_t sectorsPerCluster) {
    const std::int64_t estimate = std::max<std::int64_t>((volumeSectors - baseReservedSectors) / sectorsPerCluster, 0);
    const std::int64_t fatLength = ceilDiv((estimate + 2) * 4, bytesPerSector);
    const std::int64_t dataStart =
        ceilDiv(baseReservedSectors + numberOfFats * fatLength, sectorsPerCluster) * sectorsPerCluster;
    return {fatLength, dataStart, (volumeSectors - dataStart) / sectorsPerCluster};
}

// The smallest volume length whose data region holds minClusterCount clusters. The data
// start never shrinks as the volume grows, so iterating length = clusters + dataStart(length)
// from below climbs to that least fixed point in a few steps.
std::int64_t smallestAcceptedLength(int bytesPerSector, std::int64_t sectorsPerCluster) {
    const std::int64_t clusterSectors = minClusterCount * sectorsPerCluster;
    std::int64_t length = clusterSectors + baseReservedSectors;
    for (;;) {
        const std::int64_t next = clusterSectors + geometry(length, bytesPerSector, sectorsPerCluster).dataRegionStart;
        if (next <= length) return length;
        length = next;
    }
}

struct Renderer {
    std::string operator()(const Result::Success& s) const {
        return CaseDescription("success").rawValue(render(s.layout)).str();
    }
    std::string operator()(const Result::VolumeTooSmall& e) const {
        return CaseDescription("volumeTooSmall").field("volumeSectors", e.volumeSectors).field("minimum", e.minimum).str();
    }
    std::string operator()(const Result::VolumeTooLarge& e) const {
        return CaseDescription("volumeTooLarge").field("reason", e.reason).str();
    }
    std::string operator()(const Result::InvalidParameters& e) const {
        return CaseDescription("invalidParameters").field("reason", e.reason).str();
    }
};

}  // namespace

bool isSupportedSectorSize(std::int64_t bytesPerSector) {
    return std::ranges::find(supportedSectorSizes, bytesPerSector) != std::end(supportedSectorSizes);
}

bool isPowerOfTwo(std::int64_t sectorsPerCluster) {
    return sectorsPerCluster >= 1 && (sectorsPerCluster & (sectorsPerCluster - 1)) == 0;
}

std::int64_t clusterBytes(int bytesPerSector, std::int64_t sectorsPerCluster) {
    __extension__ using Wide = __int128;
    const Wide bytes = static_cast<Wide>(bytesPerSector) * sectorsPerCluster;
    return static_cast<std::int64_t>(std::clamp<Wide>(bytes, std::numeric_limits<std::int64_t>::min(),
                                                      std::numeric_limits<std::int64_t>::max()));
}

std::string render(const Result& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const Result& result, std::ostream* os) { *os << render(result); }

Result calculate(std::int64_t volumeLengthSectors, int bytesPerSector, std::int64_t sectorsPerCluster,
                 std::int64_t partitionOffsetSectors) {
    if (!isSupportedSectorSize(bytesPerSector)) {
        return {Result::InvalidParameters{"unsupported bytesPerSector " + std::to_string(bytesPerSector)}};
    }
    if (!isPowerOfTwo(sectorsPerCluster)) {
        return {Result::InvalidParameters{"sectorsPerCluster must be a power of two, was " +
                                          std::to_string(sectorsPerCluster)}};
    }
    const std::int64_t clusterSize = clusterBytes(bytesPerSector, sectorsPerCluster);
    if (clusterSize > maxClusterBytes) {
        return {Result::InvalidParameters{"cluster size " + std::to_string(clusterSize) +
                                          " exceeds FAT32's 32 KB standard maximum"}};
    }
    if (volumeLengthSectors < 1) {
        return {Result::InvalidParameters{"volumeLengthSectors must be positive"}};
    }
    if (volumeLengthSectors > maxVolumeSectors) {
        return {Result::VolumeTooLarge{"volume spans " + std::to_string(volumeLengthSectors) +
                                       " sectors, past the 32-bit BPB_TotSec32 limit (" +
                                       std::to_string(maxVolumeSectors) + ")"}};
    }

    const Geometry g = geometry(volumeLengthSectors, bytesPerSector, sectorsPerCluster);
    if (g.clusterCount < minClusterCount) {
        return {Result::VolumeTooSmall{volumeLengthSectors, smallestAcceptedLength(bytesPerSector, sectorsPerCluster)}};
    }
    if (g.clusterCount > maxClusterCount) {
        return {Result::VolumeTooLarge{std::to_string(g.clusterCount) + " clusters exceeds FAT32's maximum " +
                                       std::to_string(maxClusterCount) + " \u2014 choose a larger cluster size"}};
    }
    const auto sectorsPerClusterInt = static_cast<int>(sectorsPerCluster);
    return {Result::Success{Fat32Layout{
        .volumeLengthSectors = volumeLengthSectors,
        .partitionOffsetSectors = partitionOffsetSectors,
        .bytesPerSector = bytesPerSector,
        .sectorsPerCluster = sectorsPerClusterInt,
        .reservedSectorCount = static_cast<int>(g.dataRegionStart - numberOfFats * g.fatLengthSectors),
        .numberOfFats = numberOfFats,
        .fatLengthSectors = g.fatLengthSectors,
        .clusterCount = g.clusterCount,
        .rootDirFirstCluster = Fat32Layout::firstDataCluster,
    }}};
}

int recommendedSectorsPerCluster(std::int64_t volumeBytes, int bytesPerSector) {
    constexpr std::int64_t gib = std::int64_t{1} << 30;
    int clusterSize = 32768;
    if (volumeBytes <= 272629760) {
        clusterSize = 512;
    } else if (volumeBytes <= 8 * gib) {
        clusterSize = 4096;
    } else if (volumeBytes <= 16 * gib) {
        clusterSize = 8192;
    } else if (volumeBytes <= 32 * gib) {
        clusterSize = 16384;
    }
    return bytesPerSector < 1 ? 1 : std::max(clusterSize / bytesPerSector, 1);
}

}  // namespace marlowick::Fat32LayoutCalculator
