#include "Layout/VentoyLayoutCalculator.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace Calc = VentoyLayoutCalculator;
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();

struct LayoutRow {
    const char* name;
    std::int64_t diskSectors;
    PartitionStyle style;
    std::int64_t reserve;
    bool align;
    std::int64_t part1Count;
    std::int64_t part2Start;
    std::int64_t coreStart;
    std::int64_t coreCapacity;
};

class VentoyLayoutCalculatorSucceeds : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(VentoyLayoutCalculatorSucceeds, WithPartitionsBackToBack) {
    const LayoutRow& row = GetParam();
    const Calc::Result result = Calc::calculate(row.diskSectors, 512, row.style, row.reserve, row.align);
    const auto* success = std::get_if<Calc::Success>(&result);
    ASSERT_NE(success, nullptr) << Calc::render(result);
    const VentoyLayout expected{row.diskSectors, 512, 2048, row.part1Count, row.part2Start, 65536, row.style, row.coreStart};
    EXPECT_EQ(success->layout, expected);
    EXPECT_EQ(success->layout.coreSectorCapacity(), row.coreCapacity);
    // Partition 1 ends exactly where partition 2 begins.
    EXPECT_EQ(success->layout.part1EndSector() + 1, success->layout.part2StartSector);
    EXPECT_LE(success->layout.part2EndSector(),
              row.diskSectors - 1 - row.reserve - (row.style == PartitionStyle::gpt ? 33 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Disks, VentoyLayoutCalculatorSucceeds,
    ::testing::Values(
        LayoutRow{"mbr32GB", 62521344, PartitionStyle::mbr, 0, false, 62453760, 62455808, 1, 2047},
        LayoutRow{"gpt32GB", 62521344, PartitionStyle::gpt, 0, false, 62453727, 62455775, 34, 2014},
        LayoutRow{"gpt32GBAligned", 62521344, PartitionStyle::gpt, 0, true, 62453720, 62455768, 34, 2014},
        // Already a multiple of 8: alignment changes nothing.
        LayoutRow{"mbr32GBAligned", 62521344, PartitionStyle::mbr, 0, true, 62453760, 62455808, 1, 2047},
        LayoutRow{"mbrReserve2048", 62521344, PartitionStyle::mbr, 2048, false, 62451712, 62453760, 1, 2047},
        LayoutRow{"gptReserve2048", 62521344, PartitionStyle::gpt, 2048, false, 62451679, 62453727, 34, 2014},
        LayoutRow{"mbrExactly2To32", 4294967296, PartitionStyle::mbr, 0, false, 4294899712, 4294901760, 1, 2047},
        LayoutRow{"gptPast2To32", 4294967297, PartitionStyle::gpt, 0, false, 4294899680, 4294901728, 34, 2014},
        LayoutRow{"mbrSmallestOneSectorPart1", 67585, PartitionStyle::mbr, 0, false, 1, 2049, 1, 2047},
        LayoutRow{"gptSmallestOneSectorPart1", 67618, PartitionStyle::gpt, 0, false, 1, 2049, 34, 2014}),
    test::CaseName{});

struct RefusalRow {
    const char* name;
    std::int64_t diskSectors;
    int sectorSize;
    PartitionStyle style;
    std::int64_t reserve;
    bool align;
    Calc::Result expected;
};

class VentoyLayoutCalculatorRefuses : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(VentoyLayoutCalculatorRefuses, WithAResultValue) {
    const RefusalRow& row = GetParam();
    const Calc::Result result = Calc::calculate(row.diskSectors, row.sectorSize, row.style, row.reserve, row.align);
    EXPECT_EQ(result, row.expected) << Calc::render(result);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, VentoyLayoutCalculatorRefuses,
    ::testing::Values(
        RefusalRow{"mbrPast2To32", 4294967297, 512, PartitionStyle::mbr, 0, false,
                   Calc::DiskTooLargeForMbr{4294967297, 4294967296}},
        RefusalRow{"mbrOneSectorShort", 67584, 512, PartitionStyle::mbr, 0, false, Calc::DiskTooSmall{67584, 67626}},
        // Alignment moves partition 2 down and leaves partition 1 nothing.
        RefusalRow{"mbrAlignedAway", 67585, 512, PartitionStyle::mbr, 0, true, Calc::DiskTooSmall{67585, 67626}},
        RefusalRow{"gptOneSectorShort", 67617, 512, PartitionStyle::gpt, 0, false, Calc::DiskTooSmall{67617, 67626}},
        RefusalRow{"reserveRaisesMinimum", 67626, 512, PartitionStyle::mbr, 100, false, Calc::DiskTooSmall{67626, 67726}},
        RefusalRow{"emptyDisk", 0, 512, PartitionStyle::gpt, 0, false, Calc::DiskTooSmall{0, 67626}},
        RefusalRow{"negativeDisk", -5, 512, PartitionStyle::mbr, 0, false, Calc::DiskTooSmall{-5, 67626}},
        // Neither the subtraction nor the reported minimum may leave the 64-bit range.
        RefusalRow{"hugeReserve", 62521344, 512, PartitionStyle::gpt, int64Max, true,
                   Calc::DiskTooSmall{62521344, int64Max}},
        RefusalRow{"hugeReserveOnOneSector", 1, 512, PartitionStyle::gpt, int64Max - 10, false,
                   Calc::DiskTooSmall{1, int64Max}},
        RefusalRow{"reserveEatsAll", int64Max, 512, PartitionStyle::gpt, int64Max, false,
                   Calc::DiskTooSmall{int64Max, int64Max}},
        RefusalRow{"negativeReserve", 62521344, 512, PartitionStyle::mbr, -2048, false, Calc::InvalidArguments{512, -2048}},
        RefusalRow{"int64MinReserve", 62521344, 512, PartitionStyle::gpt, std::numeric_limits<std::int64_t>::min(), false,
                   Calc::InvalidArguments{512, std::numeric_limits<std::int64_t>::min()}},
        RefusalRow{"zeroSectorSize", 62521344, 0, PartitionStyle::mbr, 0, false, Calc::InvalidArguments{0, 0}},
        RefusalRow{"negativeSectorSize", 62521344, -512, PartitionStyle::gpt, 0, false, Calc::InvalidArguments{-512, 0}}),
    test::CaseName{});

TEST(VentoyLayoutCalculator, LargestGptDiskStaysInRange) {
    const Calc::Result result = Calc::calculate(int64Max, 512, PartitionStyle::gpt, 0, true);
    const auto* success = std::get_if<Calc::Success>(&result);
    ASSERT_NE(success, nullptr) << Calc::render(result);
    EXPECT_EQ(success->layout.part2StartSector % 8, 0);
    EXPECT_EQ(success->layout.part2EndSector() + 1, success->layout.part2StartSector + 65536);
    EXPECT_LE(success->layout.part2EndSector(), int64Max - 34);
}

TEST(VentoyLayoutCalculator, AlignmentCountsSectorsWhateverTheirSize) {
    const Calc::Result result = Calc::calculate(7815168 + 5, 4096, PartitionStyle::mbr, 0, true);
    const auto* success = std::get_if<Calc::Success>(&result);
    ASSERT_NE(success, nullptr) << Calc::render(result);
    EXPECT_EQ(success->layout.sectorSize, 4096);
    EXPECT_EQ(success->layout.part2StartSector, 7815168 + 5 - 65536 - 5);
}

TEST(VentoyLayoutCalculator, RendersRefusalsAsCaseAndPayload) {
    EXPECT_EQ(Calc::render(Calc::DiskTooSmall{67584, 67626}), "diskTooSmall(diskSectorCount: 67584, minimum: 67626)");
    EXPECT_EQ(Calc::render(Calc::DiskTooLargeForMbr{4294967297, 4294967296}),
              "diskTooLargeForMbr(diskSectorCount: 4294967297, maxAddressableSectors: 4294967296)");
    EXPECT_EQ(Calc::render(Calc::InvalidArguments{512, -1}), "invalidArguments(sectorSize: 512, reserveSectorsAtEnd: -1)");
}

TEST(VentoyLayoutCalculator, PartitionTypesFollowTheFilesystem) {
    EXPECT_EQ(Calc::part1Type(DriveFilesystem::fat32), 0x0C);
    EXPECT_EQ(Calc::part1Type(DriveFilesystem::exfat), 0x07);
    for (const DriveFilesystem fs : allDriveFilesystems) {
        EXPECT_TRUE(Calc::isPart1DataType(Calc::part1Type(fs)));
        EXPECT_EQ(Calc::part1Type(fs), mbrPartitionType(fs));
    }
    EXPECT_FALSE(Calc::isPart1DataType(0xEF));
}

TEST(VentoyLayout, EntriesMarkOnlyTheDataPartitionActive) {
    const VentoyLayout layout{62521344, 512, 2048, 62453760, 62455808, 65536, PartitionStyle::mbr, 1};
    const std::vector<PartitionEntry> expected{PartitionEntry{true, 0x0C, 2048, 62453760},
                                               PartitionEntry{false, 0xEF, 62455808, 65536}};
    EXPECT_EQ(layout.toPartitionEntries(0x0C), expected);
}

TEST(PartitionStyle, RawValuesAreLowerCase) {
    EXPECT_EQ(partitionStyleFromRaw("gpt"), PartitionStyle::gpt);
    EXPECT_EQ(partitionStyleFromRaw("mbr"), PartitionStyle::mbr);
    EXPECT_EQ(partitionStyleFromRaw("GPT"), std::nullopt);
    EXPECT_EQ(displayName(PartitionStyle::gpt), "GPT");
}

}  // namespace
}  // namespace marlowick
