#include "Exfat/ExfatLayoutCalculator.hpp"

#include <gtest/gtest.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace Calc = ExfatLayoutCalculator;

ExfatLayout successOf(const Calc::Result& result) {
    const auto* layout = std::get_if<ExfatLayout>(&result);
    if (layout == nullptr) {
        ADD_FAILURE() << "no layout: " << Calc::render(result);
        return {};
    }
    return *layout;
}

struct GeometryCase {
    const char* name;
    std::int64_t length;
    std::int64_t sectorsPerCluster;
    std::int64_t fatLength;
    std::int64_t heapOffset;
    std::int64_t clusterCount;
    std::int64_t bitmapBytes;
    std::int64_t bitmapClusters;
    std::int64_t upcaseClusters;
    std::int64_t rootCluster;
};

class ExfatGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(ExfatGeometry, MatchesTheWorkedTable) {
    const GeometryCase& c = GetParam();
    const ExfatLayout layout = successOf(Calc::calculate(c.length, 512, c.sectorsPerCluster, 0));
    EXPECT_EQ(layout.fatLengthSectors, c.fatLength);
    EXPECT_EQ(layout.clusterHeapOffsetSectors, c.heapOffset);
    EXPECT_EQ(layout.clusterCount, c.clusterCount);
    EXPECT_EQ(layout.bitmapLengthBytes, c.bitmapBytes);
    EXPECT_EQ(layout.bitmapClusters, c.bitmapClusters);
    EXPECT_EQ(layout.upcaseClusters, c.upcaseClusters);
    EXPECT_EQ(layout.rootFirstCluster, c.rootCluster);
    EXPECT_EQ(layout.firstClusterOfRootDirectory, c.rootCluster);
    EXPECT_EQ(layout.upcaseFirstCluster, 2 + c.bitmapClusters);
    EXPECT_EQ(layout.fatOffsetSectors, 24);
    EXPECT_EQ(layout.numberOfFats, 1);
    EXPECT_EQ(layout.bitmapFirstCluster, 2);
    EXPECT_EQ(layout.rootClusters, 1);
    EXPECT_EQ(layout.bytesPerSectorShift, 9);
    EXPECT_EQ(1 << layout.sectorsPerClusterShift, c.sectorsPerCluster);
    // The heap is aligned to the cluster and the FAT covers every cluster plus the two reserved entries.
    EXPECT_EQ(layout.clusterHeapOffsetSectors % c.sectorsPerCluster, 0);
    EXPECT_GE(layout.fatLengthSectors * 512, (layout.clusterCount + 2) * 4);
    EXPECT_LE(layout.clusterToVolumeSector(layout.clusterCount + 2), c.length);
}

INSTANTIATE_TEST_SUITE_P(
    Calculate, ExfatGeometry,
    ::testing::Values(GeometryCase{"smallest64", 64, 8, 1, 32, 4, 1, 1, 2, 5},
                      GeometryCase{"sectors1000", 1000, 8, 1, 32, 121, 16, 1, 2, 5},
                      GeometryCase{"twoGiB", 4194304, 64, 513, 576, 65527, 8191, 1, 1, 4},
                      GeometryCase{"eightGiB", 16777216, 64, 2049, 2112, 262111, 32764, 1, 1, 4},
                      GeometryCase{"sixtyFourGiB", 134217728, 256, 4097, 4352, 524271, 65534, 1, 1, 4}),
    test::CaseName{});

TEST(ExfatLayoutCalculator, RefusesVolumesTooSmallWithTheMinimumThatWouldFit) {
    struct Row { std::int64_t length; std::int64_t minimum; };
    std::vector<Row> rows{{1, 40}, {32, 40}, {33, 56}};
    for (std::int64_t length = 40; length <= 63; ++length) rows.push_back({length, 64});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        const Calc::Result result = Calc::calculate(row.length, 512, 8, 0);
        const Calc::Result expected = Calc::VolumeTooSmall{row.length, row.minimum};
        EXPECT_EQ(result, expected) << Calc::render(result);
    }
    // The minimum it names is enough.
    EXPECT_EQ(successOf(Calc::calculate(64, 512, 8, 0)).allocatedClusterCount(), 4);
}

TEST(ExfatLayoutCalculator, RefusesInvalidParametersWithTheirReason) {
    struct Row { std::int64_t length; int sectorSize; std::int64_t sectorsPerCluster; const char* reason; };
    const Row rows[] = {
        {1000, 520, 8, "unsupported bytesPerSector 520"},
        {1000, 8192, 8, "unsupported bytesPerSector 8192"},
        {1000, 512, 0, "sectorsPerCluster must be a power of two, was 0"},
        {1000, 512, 12, "sectorsPerCluster must be a power of two, was 12"},
        {1000, 512, -4, "sectorsPerCluster must be a power of two, was -4"},
        {1000, 4096, 16384, "cluster size 67108864 exceeds 32 MB"},
        {1000, 512, std::int64_t{1} << 62, "cluster size above 2^63 exceeds 32 MB"},
        {0, 512, 8, "volumeLengthSectors must be positive"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        const Calc::Result result = Calc::calculate(row.length, row.sectorSize, row.sectorsPerCluster, 0);
        const Calc::Result expected = Calc::InvalidParameters{row.reason};
        EXPECT_EQ(result, expected) << Calc::render(result);
    }
}

TEST(ExfatLayoutCalculator, RecommendsClusterSizesByVolumeSize) {
    struct Row { std::int64_t volumeBytes; int sectorSize; std::int64_t sectorsPerCluster; };
    const Row rows[] = {
        {268435456, 512, 8},          // exactly 256 MiB: 4 KiB
        {268435456 + 512, 512, 64},   // one sector more: 32 KiB
        {34359738368, 512, 64},       // exactly 32 GiB: still 32 KiB
        {34359738368 + 512, 512, 256},
        {1073741824, 4096, 8},        // 1 GiB on 4 KiB sectors: 32 KiB
        {268435456, 4096, 1},         // up to 256 MiB on 4 KiB sectors: one sector
        {4096, 4096, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.volumeBytes);
        EXPECT_EQ(Calc::recommendedSectorsPerCluster(row.volumeBytes, row.sectorSize), row.sectorsPerCluster);
    }
}

TEST(ExfatLayoutCalculator, CapsTheClusterCountButSizesTheFatFromTheUpperBound) {
    // 2^33 one-sector clusters would be possible; the count stops at the largest valid index.
    const std::int64_t length = std::int64_t{1} << 33;
    const ExfatLayout layout = successOf(Calc::calculate(length, 512, 1, 2048));
    EXPECT_EQ(layout.clusterCount, Calc::maxClusterCount);
    EXPECT_EQ(layout.fatLengthSectors, ((length - 24) * 4 + 8 + 511) / 512);
    EXPECT_EQ(layout.partitionOffsetSectors, 2048);
}

TEST(ExfatLayoutCalculator, SizesFourKibSectorVolumes) {
    // 1 GiB of 4 KiB sectors with the recommended 32 KiB clusters.
    const ExfatLayout layout = successOf(Calc::calculate(262144, 4096, 8, 0));
    EXPECT_EQ(layout.bytesPerSectorShift, 12);
    EXPECT_EQ(layout.sectorsPerClusterShift, 3);
    EXPECT_EQ(layout.clusterSizeBytes(), 32768);
    EXPECT_EQ(layout.upcaseClusters, 1);
    EXPECT_EQ(layout.clusterToVolumeSector(layout.rootFirstCluster),
              layout.clusterHeapOffsetSectors + (layout.rootFirstCluster - 2) * 8);
}

}  // namespace
}  // namespace marlowick
