#include "Layout/SingleVolumeLayoutCalculator.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace Calc = SingleVolumeLayoutCalculator;

struct Row {
    const char* name;
    std::int64_t diskSectors;
    Calc::Result expected;
};

class SingleVolumeLayoutCalculatorTable : public ::testing::TestWithParam<Row> {};

TEST_P(SingleVolumeLayoutCalculatorTable, Calculates) {
    const Row& row = GetParam();
    const Calc::Result result = Calc::calculate(row.diskSectors, 512);
    EXPECT_EQ(result, row.expected) << Calc::render(result);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, SingleVolumeLayoutCalculatorTable,
    ::testing::Values(
        Row{"smallest", 2049, Calc::Success{SingleVolumeLayout{2049, 512, 2048, 1, 0x07}}},
        Row{"oneShort", 2048, Calc::DiskTooSmall{2048, 2049}},
        Row{"empty", 0, Calc::DiskTooSmall{0, 2049}},
        Row{"mbr32GB", 62521344, Calc::Success{SingleVolumeLayout{62521344, 512, 2048, 62519296, 0x07}}},
        Row{"exactly2To32", 4294967296, Calc::Success{SingleVolumeLayout{4294967296, 512, 2048, 4294965248, 0x07}}},
        Row{"past2To32", 4294967297, Calc::DiskTooLargeForMbr{4294967297, 4294967296}},
        Row{"int64Max", std::numeric_limits<std::int64_t>::max(),
            Calc::DiskTooLargeForMbr{std::numeric_limits<std::int64_t>::max(), 4294967296}}),
    test::CaseName{});

TEST(SingleVolumeLayout, YieldsOneEntryNeverBootable) {
    const SingleVolumeLayout layout{62521344, 512, 2048, 62519296, 0x07};
    const std::vector<PartitionEntry> expected{PartitionEntry{false, 0x07, 2048, 62519296}};
    EXPECT_EQ(layout.toPartitionEntries(), expected);
}

TEST(SingleVolumeLayoutCalculator, RendersRefusals) {
    EXPECT_EQ(Calc::render(Calc::DiskTooSmall{2048, 2049}), "diskTooSmall(diskSectorCount: 2048, minimum: 2049)");
    EXPECT_EQ(Calc::render(Calc::DiskTooLargeForMbr{4294967297, 4294967296}),
              "diskTooLargeForMbr(diskSectorCount: 4294967297, maxAddressableSectors: 4294967296)");
}

}  // namespace
}  // namespace marlowick
