#include "Exfat/ExfatClusterChain.hpp"

#include <algorithm>

#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick::ExfatDirectoryReader {
namespace {

namespace Fat = ExfatStructures::Fat;

constexpr auto fatEntryBytes = static_cast<std::int64_t>(Fat::entrySize);
// Large enough to keep reads efficient, small enough that a walk nine folders deep
// holds well under a megabyte of directory bytes.
constexpr std::int64_t readBytes = 64 * 1024;

}  // namespace

std::vector<std::uint8_t> readVolumeSectors(const Geometry& geometry, std::int64_t volumeSector,
                                            std::int64_t sectorCount) {
    BlockReadResult result = geometry.device->readSectors(geometry.part1StartSector + volumeSector, sectorCount);
    if (auto* error = std::get_if<BlockError>(&result)) {
        throw ReadFailure{std::move(*error)};
    }
    return std::move(std::get<BlockReadSuccess>(result).data);
}

ClusterChain::ClusterChain(const Geometry& volume, std::int64_t firstCluster,
                           std::optional<std::int64_t> contiguousClusters, std::int64_t clusterLimit)
    : geometry(volume),
      current(firstCluster),
      contiguousLeft(contiguousClusters),
      clustersLeft(std::max<std::int64_t>(clusterLimit, 0)) {}

std::vector<std::uint8_t> ClusterChain::nextRead() {
    if (!insideCluster && !enterCurrentCluster()) {
        return {};
    }
    const std::int64_t sectorsPerRead =
        std::min(geometry.sectorsPerCluster, std::max<std::int64_t>(readBytes / geometry.bytesPerSector, 1));
    const std::int64_t count = std::min(sectorsPerRead, geometry.sectorsPerCluster - sectorInCluster);
    const std::int64_t clusterSector = geometry.clusterHeapOffsetSectors + (current - 2) * geometry.sectorsPerCluster;
    std::vector<std::uint8_t> chunk = readVolumeSectors(geometry, clusterSector + sectorInCluster, count);
    totalBytesRead += static_cast<std::int64_t>(chunk.size());
    sectorInCluster += count;
    if (sectorInCluster == geometry.sectorsPerCluster) {
        insideCluster = false;
        sectorInCluster = 0;
        moveToNextCluster();
    }
    return chunk;
}

bool ClusterChain::enterCurrentCluster() {
    if (!geometry.isInHeap(current) || clustersLeft <= 0) {
        return false;
    }
    if (contiguousLeft) {
        if (*contiguousLeft <= 0) return false;
    } else if (!visited.insert(current).second) {
        return false;
    }
    --clustersLeft;
    insideCluster = true;
    return true;
}

void ClusterChain::moveToNextCluster() {
    if (contiguousLeft) {
        --*contiguousLeft;
        ++current;  // past the heap's end, enterCurrentCluster stops the chain
    } else {
        current = fatSuccessor(current);
    }
}

std::int64_t ClusterChain::fatSuccessor(std::int64_t cluster) const {
    const std::int64_t byteOffset = cluster * fatEntryBytes;
    const std::vector<std::uint8_t> sector =
        readVolumeSectors(geometry, geometry.fatOffsetSectors + byteOffset / geometry.bytesPerSector, 1);
    const std::uint32_t next =
        LittleEndian::read32(sector, static_cast<std::size_t>(byteOffset % geometry.bytesPerSector));
    if (next == Fat::endOfChain || next == Fat::badCluster) {
        return 0;
    }
    return static_cast<std::int64_t>(next);
}

}  // namespace marlowick::ExfatDirectoryReader
