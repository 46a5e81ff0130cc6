#pragma once
// The directory reader's view of a volume's cluster heap, and the one way it follows a
// chain of clusters through it. Internal to the reader; its callers check the geometry
// (sector and cluster shifts within what exFAT allows) before a chain is built, so no
// arithmetic here can overflow.

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Block/BlockError.hpp"

namespace marlowick::ExfatDirectoryReader {

// Sector fields count from the start of the volume; device sector = part1StartSector + field.
struct Geometry {
    BlockDevice* device = nullptr;
    std::int64_t part1StartSector = 0;
    int bytesPerSector = 0;
    std::int64_t sectorsPerCluster = 0;
    std::int64_t fatOffsetSectors = 0;
    std::int64_t clusterHeapOffsetSectors = 0;
    std::int64_t clusterCount = 0;
    std::int64_t rootCluster = 0;

    [[nodiscard]] std::int64_t clusterBytes() const { return sectorsPerCluster * bytesPerSector; }
    [[nodiscard]] bool isInHeap(std::int64_t cluster) const { return cluster >= 2 && cluster <= clusterCount + 1; }
};

// A device read failed inside a walk. Thrown and caught within the reader only.
struct ReadFailure {
    BlockError error;
};

// Reads one sector run, or throws ReadFailure.
[[nodiscard]] std::vector<std::uint8_t> readVolumeSectors(const Geometry& geometry, std::int64_t volumeSector,
                                                          std::int64_t sectorCount);

// Follows a chain cluster by cluster, handing it out in reads of at most 64 KiB so that
// a folder with large clusters never sits whole in memory. The chain ends at an
// end-of-chain or bad-cluster mark, at a cluster outside the heap, at a cluster already
// visited (a loop), or after `clusterLimit` clusters.
class ClusterChain {
public:
    // With `contiguousClusters` (the entry's NoFatChain flag), the chain is that many
    // consecutive clusters and the FAT is not consulted: drivers leave its entries zero.
    ClusterChain(const Geometry& volume, std::int64_t firstCluster, std::optional<std::int64_t> contiguousClusters,
                 std::int64_t clusterLimit);

    // The next chunk in chain order, whole sectors; empty once the chain has ended.
    // Throws ReadFailure.
    [[nodiscard]] std::vector<std::uint8_t> nextRead();
    [[nodiscard]] std::int64_t bytesRead() const { return totalBytesRead; }

private:
    [[nodiscard]] bool enterCurrentCluster();
    void moveToNextCluster();
    [[nodiscard]] std::int64_t fatSuccessor(std::int64_t cluster) const;

    Geometry geometry;
    std::int64_t current;
    std::optional<std::int64_t> contiguousLeft;
    std::int64_t clustersLeft;
    std::int64_t sectorInCluster = 0;
    bool insideCluster = false;
    std::unordered_set<std::int64_t> visited;
    std::int64_t totalBytesRead = 0;
};

}  // namespace marlowick::ExfatDirectoryReader
