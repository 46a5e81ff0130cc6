#include "Image/ByteCountText.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace marlowick {
namespace {

TEST(ByteCountText, FileSizesInDecimalUnits) {
    struct Row {
        std::int64_t bytes;
        const char* text;
    };
    const Row rows[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {999, "999 bytes"},
        {1'000, "1 KB"},
        {1'499, "1 KB"},
        {1'500, "2 KB"},             // half to even
        {2'500, "2 KB"},
        {512'000, "512 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"},           // would be 1000 KB: the next unit
        {1'000'000, "1 MB"},
        {1'250'000, "1.2 MB"},
        {1'350'000, "1.4 MB"},
        {1'049'999, "1 MB"},
        {999'950'000, "1 GB"},
        {4'700'000'000, "4.7 GB"},
        {4'712'345'678, "4.71 GB"},
        {4'700'000'100, "4.7 GB"},
        {16'000'000'000'000, "16 TB"},
        {1'234'567'890'123'456, "1.23 PB"},
        {std::numeric_limits<std::int64_t>::max(), "9.22 EB"},
        {-1, "-1 byte"},
        {-4'700'000'000, "-4.7 GB"},
        {std::numeric_limits<std::int64_t>::min(), "-9.22 EB"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ByteCountText::fileSize(row.bytes, "en_US"), row.text) << row.bytes;
    }
}

TEST(ByteCountText, NumbersFollowTheLocale) {
    EXPECT_EQ(ByteCountText::fileSize(4'700'000'000, "de_DE"), "4,7 GB");
    EXPECT_EQ(ByteCountText::exactBytes(4'700'000'000, "en_US"), "4,700,000,000 bytes");
    EXPECT_EQ(ByteCountText::exactBytes(4'700'000'000, "de_DE"), "4.700.000.000 bytes");
    EXPECT_EQ(ByteCountText::exactBytes(0, "en_US"), "0 bytes");
    EXPECT_EQ(ByteCountText::exactBytes(std::numeric_limits<std::int64_t>::min(), "en_US"),
              "-9,223,372,036,854,775,808 bytes");
    // The user's own locale always yields the digits, grouped or not.
    const std::string own = ByteCountText::exactBytes(1234);
    EXPECT_TRUE(own == "1234 bytes" || own == "1,234 bytes" || own.find("234 bytes") != std::string::npos) << own;
}

}  // namespace
}  // namespace marlowick
