#pragma once
// The geometry of one FAT32 volume. Sector numbers are relative to the volume's first
// sector; only `partitionOffsetSectors` names a device sector (the hidden-sectors field).

#include <cstdint>
#include <ostream>
#include <string>

namespace marlowick {

struct Fat32Layout {
    static constexpr std::int64_t firstDataCluster = 2;

    std::int64_t volumeLengthSectors = 0;
    std::int64_t partitionOffsetSectors = 0;
    int bytesPerSector = 0;           // 512, 1024, 2048 or 4096
    int sectorsPerCluster = 0;        // power of two; a cluster is at most 32768 bytes
    int reservedSectorCount = 0;      // 32 plus the pad that aligns the data region to a cluster
    int numberOfFats = 0;             // always 2
    std::int64_t fatLengthSectors = 0;
    std::int64_t clusterCount = 0;
    std::int64_t rootDirFirstCluster = 0;  // always 2

    [[nodiscard]] std::int64_t clusterSizeBytes() const {
        return static_cast<std::int64_t>(bytesPerSector) * sectorsPerCluster;
    }
    [[nodiscard]] std::int64_t fatStartSector(int index) const {
        return reservedSectorCount + index * fatLengthSectors;
    }
    [[nodiscard]] std::int64_t dataRegionStartSector() const {
        return reservedSectorCount + numberOfFats * fatLengthSectors;
    }
    // The root directory holds one cluster; every other cluster is free.
    [[nodiscard]] std::int64_t freeClusterCount() const { return clusterCount - 1; }
    [[nodiscard]] std::int64_t clusterToVolumeSector(std::int64_t cluster) const {
        return dataRegionStartSector() + (cluster - firstDataCluster) * sectorsPerCluster;
    }

    bool operator==(const Fat32Layout&) const = default;
};

// "Fat32Layout(volumeLengthSectors: 1000000, partitionOffsetSectors: 2048, ...)"
[[nodiscard]] std::string render(const Fat32Layout& layout);
void PrintTo(const Fat32Layout& layout, std::ostream* os);

}  // namespace marlowick
