#pragma once
// The geometry of one exFAT volume as the formatter lays it out: one FAT right after the
// two boot regions, a cluster heap aligned to the cluster size, and the allocation bitmap,
// the up-case table and a one-cluster root directory packed into the first heap clusters.
// Sector numbers are relative to the volume's first sector unless a name says otherwise.

#include <cstdint>

namespace marlowick {

struct ExfatLayout {
    // The first cluster of the heap; clusters 0 and 1 exist only as reserved FAT entries.
    static constexpr std::int64_t firstDataCluster = 2;

    std::int64_t volumeLengthSectors = 0;
    std::int64_t partitionOffsetSectors = 0;  // device sector of the volume's first sector
    int bytesPerSector = 0;
    int bytesPerSectorShift = 0;
    int sectorsPerCluster = 0;
    int sectorsPerClusterShift = 0;
    std::int64_t fatOffsetSectors = 0;
    std::int64_t fatLengthSectors = 0;
    std::int64_t clusterHeapOffsetSectors = 0;
    std::int64_t clusterCount = 0;
    std::int64_t firstClusterOfRootDirectory = 0;
    int numberOfFats = 0;
    std::int64_t bitmapFirstCluster = 0;
    std::int64_t bitmapClusters = 0;
    std::int64_t bitmapLengthBytes = 0;
    std::int64_t upcaseFirstCluster = 0;
    std::int64_t upcaseClusters = 0;
    std::int64_t rootFirstCluster = 0;
    std::int64_t rootClusters = 0;

    [[nodiscard]] std::int64_t clusterSizeBytes() const {
        return static_cast<std::int64_t>(bytesPerSector) * sectorsPerCluster;
    }
    // The clusters in use on a fresh volume.
    [[nodiscard]] std::int64_t allocatedClusterCount() const { return bitmapClusters + upcaseClusters + rootClusters; }
    // Relative to the volume's first sector: writers add the volume's device offset.
    [[nodiscard]] std::int64_t clusterToVolumeSector(std::int64_t cluster) const {
        return clusterHeapOffsetSectors + (cluster - firstDataCluster) * sectorsPerCluster;
    }

    bool operator==(const ExfatLayout&) const = default;
};

}  // namespace marlowick
