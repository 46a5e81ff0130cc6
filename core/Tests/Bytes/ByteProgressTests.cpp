#include "Bytes/ByteProgress.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

struct ProgressRow {
    const char* name;
    std::int64_t currentBytes;
    std::optional<std::int64_t> totalBytes;
    std::optional<double> fraction;  // none: indeterminate
    std::optional<int> percent;
};

class ByteProgressFacts : public ::testing::TestWithParam<ProgressRow> {};

TEST_P(ByteProgressFacts, FractionPercentAndIndeterminacy) {
    const ProgressRow& row = GetParam();
    const ByteProgress progress{row.currentBytes, row.totalBytes};
    EXPECT_EQ(progress.isIndeterminate(), !row.fraction.has_value());
    EXPECT_EQ(progress.fraction(), row.fraction);
    EXPECT_EQ(progress.percent(), row.percent);
}

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Bytes, ByteProgressFacts,
    ::testing::Values(ProgressRow{"noTotal", 5, std::nullopt, std::nullopt, std::nullopt},
                      ProgressRow{"zeroTotal", 5, 0, std::nullopt, std::nullopt},
                      ProgressRow{"nothingDone", 0, 100, 0.0, 0},
                      ProgressRow{"half", 50, 100, 0.5, 50},
                      // Whole-number arithmetic: 29 of 100 is 29, not the 28 a double would give.
                      ProgressRow{"twentyNine", 29, 100, 0.29, 29},
                      ProgressRow{"truncatedNotRounded", 999, 1000, 0.999, 99},
                      ProgressRow{"done", 100, 100, 1.0, 100},
                      ProgressRow{"pastTheTotal", 150, 100, 1.0, 100},
                      ProgressRow{"oneByteOfMany", 1, int64Max, 1.0 / static_cast<double>(int64Max), 0},
                      // No overflow when the counts times 100 leave 64 bits.
                      ProgressRow{"hugeCounts", int64Max / 2, int64Max, 0.5, 49}),
    test::CaseName{});

TEST(ByteProgress, ComparesByBothCounts) {
    EXPECT_EQ((ByteProgress{1, 2}), (ByteProgress{1, 2}));
    EXPECT_NE((ByteProgress{1, 2}), (ByteProgress{1, std::nullopt}));
    EXPECT_NE((ByteProgress{1, 2}), (ByteProgress{2, 2}));
}

}  // namespace
}  // namespace marlowick
