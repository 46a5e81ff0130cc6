#include "Fat32/Fat32LayoutCalculator.hpp"

#include <gtest/gtest.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Fat32LayoutCalculator::calculate;
using Fat32LayoutCalculator::Result;

TEST(Fat32LayoutCalculator, AlignsTheDataRegionToAClusterThroughTheReservedRegion) {
    const Result result = calculate(1000000, 512, 8, 2048);
    const Fat32Layout expected{
        .volumeLengthSectors = 1000000,
        .partitionOffsetSectors = 2048,
        .bytesPerSector = 512,
        .sectorsPerCluster = 8,
        .reservedSectorCount = 38,
        .numberOfFats = 2,
        .fatLengthSectors = 977,
        .clusterCount = 124751,
        .rootDirFirstCluster = 2,
    };
    ASSERT_EQ(result, Result{Result::Success{expected}});
    EXPECT_EQ(expected.dataRegionStartSector(), 1992);
    EXPECT_EQ(expected.dataRegionStartSector() % expected.sectorsPerCluster, 0);
    EXPECT_EQ(expected.fatStartSector(1), 38 + 977);
    EXPECT_EQ(expected.clusterToVolumeSector(3), 2000);
    EXPECT_EQ(expected.freeClusterCount(), 124750);
    EXPECT_EQ(expected.clusterSizeBytes(), 4096);
    // Every cluster has a FAT entry, the two reserved entries included.
    EXPECT_GE(expected.fatLengthSectors * 512 / 4, expected.clusterCount + 2);
}

struct RefusalCase {
    const char* name;
    std::int64_t volumeSectors;
    int bytesPerSector;
    std::int64_t sectorsPerCluster;
    const char* rendered;
};

class Fat32LayoutCalculatorRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Fat32LayoutCalculatorRefuses, WithTheFirstFailingRule) {
    const RefusalCase& c = GetParam();
    EXPECT_EQ(render(calculate(c.volumeSectors, c.bytesPerSector, c.sectorsPerCluster, 0)), c.rendered);
}

INSTANTIATE_TEST_SUITE_P(
    Fat32, Fat32LayoutCalculatorRefuses,
    ::testing::Values(
        RefusalCase{"sectorSize520", 1000000, 520, 0, "invalidParameters(reason: \"unsupported bytesPerSector 520\")"},
        RefusalCase{"clusterFactor3", 1000000, 512, 3,
                    "invalidParameters(reason: \"sectorsPerCluster must be a power of two, was 3\")"},
        RefusalCase{"clusterFactor0", 0, 512, 0,
                    "invalidParameters(reason: \"sectorsPerCluster must be a power of two, was 0\")"},
        RefusalCase{"cluster64KiB", 1000000, 512, 128,
                    "invalidParameters(reason: \"cluster size 65536 exceeds FAT32's 32 KB standard maximum\")"},
        RefusalCase{"clusterFactorPast64Bits", 1000000, 4096, std::int64_t{1} << 62,
                    "invalidParameters(reason: \"cluster size 9223372036854775807 exceeds FAT32's 32 KB standard "
                    "maximum\")"},
        RefusalCase{"emptyVolume", 0, 512, 8, "invalidParameters(reason: \"volumeLengthSectors must be positive\")"},
        RefusalCase{"past32BitSectorCount", 4294967296, 4096, 8,
                    "volumeTooLarge(reason: \"volume spans 4294967296 sectors, past the 32-bit BPB_TotSec32 limit "
                    "(4294967295)\")"},
        RefusalCase{"tooManyClusters", 4294967295, 4096, 8,
                    "volumeTooLarge(reason: \"536739835 clusters exceeds FAT32's maximum 268435445 \u2014 choose a "
                    "larger cluster size\")"},
        RefusalCase{"fewerThan65525Clusters", 66581, 512, 1, "volumeTooSmall(volumeSectors: 66581, minimum: 66599)"},
        RefusalCase{"tinyVolume", 1, 512, 1, "volumeTooSmall(volumeSectors: 1, minimum: 66599)"}),
    test::CaseName{});

struct MinimumCase {
    const char* name;
    int bytesPerSector;
    std::int64_t sectorsPerCluster;
    std::int64_t minimum;
};

class Fat32LayoutCalculatorMinimum : public ::testing::TestWithParam<MinimumCase> {};

// The refusal names the smallest length this geometry accepts: one sector less is refused
// with the same minimum, the minimum itself holds exactly 65525 clusters.
TEST_P(Fat32LayoutCalculatorMinimum, IsTheSmallestAcceptedLength) {
    const MinimumCase& c = GetParam();
    const Result below = calculate(c.minimum - 1, c.bytesPerSector, c.sectorsPerCluster, 0);
    EXPECT_EQ(below, (Result{Result::VolumeTooSmall{c.minimum - 1, c.minimum}}));
    const Result at = calculate(c.minimum, c.bytesPerSector, c.sectorsPerCluster, 0);
    const auto* success = std::get_if<Result::Success>(&at.value);
    ASSERT_NE(success, nullptr) << render(at);
    EXPECT_EQ(success->layout.clusterCount, Fat32LayoutCalculator::minClusterCount);
}

INSTANTIATE_TEST_SUITE_P(Fat32, Fat32LayoutCalculatorMinimum,
                         ::testing::Values(MinimumCase{"b512s1", 512, 1, 66599}, MinimumCase{"b512s8", 512, 8, 525264},
                                           MinimumCase{"b512s64", 512, 64, 4194688},
                                           MinimumCase{"b1024s1", 1024, 1, 66073},
                                           MinimumCase{"b2048s16", 2048, 16, 1048704},
                                           MinimumCase{"b4096s1", 4096, 1, 65687},
                                           MinimumCase{"b4096s8", 4096, 8, 524368}),
                         test::CaseName{});

TEST(Fat32LayoutCalculator, AcceptsTheLongest32BitVolumeWithLargeClusters) {
    const Result result = calculate(4294967295, 512, 64, 2048);
    const auto* success = std::get_if<Result::Success>(&result.value);
    ASSERT_NE(success, nullptr) << render(result);
    EXPECT_EQ(success->layout.clusterCount, 67092478);
    EXPECT_EQ(success->layout.reservedSectorCount, 62);
    EXPECT_EQ(success->layout.fatLengthSectors, 524289);
}

TEST(Fat32LayoutCalculator, RecommendsClusterSizesByVolumeSize) {
    constexpr std::int64_t gib = std::int64_t{1} << 30;
    struct Row {
        std::int64_t volumeBytes;
        int bytesPerSector;
        int expected;
    };
    const Row rows[] = {
        {272629760, 512, 1},      {272629761, 512, 8},      {8 * gib, 512, 8},       {8 * gib + 1, 512, 16},
        {16 * gib, 512, 16},      {16 * gib + 1, 512, 32},  {32 * gib, 512, 32},     {32 * gib + 1, 512, 64},
        {2048 * gib, 512, 64},    {100 * 1048576, 4096, 1}, {8 * gib, 4096, 1},      {64 * gib, 4096, 8},
        {64 * gib, 2048, 16},     {64 * gib, 1024, 32},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.volumeBytes) + " bytes / " + std::to_string(row.bytesPerSector));
        EXPECT_EQ(Fat32LayoutCalculator::recommendedSectorsPerCluster(row.volumeBytes, row.bytesPerSector),
                  row.expected);
    }
}

}  // namespace
}  // namespace marlowick
