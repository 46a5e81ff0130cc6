#include "Exfat/ExfatTimestamp.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace marlowick {
namespace {

TEST(ExfatTimestamp, PacksLocalTime) {
    struct Row { std::int64_t unix; int offsetMinutes; std::uint32_t dateTime; std::uint8_t tenMs; std::uint8_t offset; };
    const Row rows[] = {
        {1704164645, 0, 0x58221882, 100, 0x80},
        {1704164645, 60, 0x58222082, 100, 0x84},
        {1704164645, -300, 0x5821B082, 100, 0xEC},
        {0, 0, 0x00210000, 0, 0x80},
        {-1, 0, 0x00210000, 0, 0x80},                      // before 1980: clamped to its start
        {4354819200, 0, (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u, 100, 0x80},  // 2108
        {std::numeric_limits<std::int64_t>::max(), 840, (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u, 100, 0xB8},
        {951782400, 0, (20u << 25) | (2u << 21) | (29u << 16), 0, 0x80},  // 2000-02-29, a leap day
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.unix);
        const ExfatTimestamp expected(row.dateTime, row.tenMs, row.offset);
        EXPECT_EQ(ExfatTimestamp::fromUnixSeconds(row.unix, row.offsetMinutes), expected);
    }
    EXPECT_EQ(ExfatTimestamp::unset, ExfatTimestamp(0, 0, 0));
}

}  // namespace
}  // namespace marlowick
