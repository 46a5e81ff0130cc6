#include "Exfat/ExfatUpcaseTable.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "Exfat/ExfatStructures.hpp"

namespace marlowick {
namespace {

TEST(ExfatUpcaseTable, IsTheRecommendedTableWithItsChecksum) {
    EXPECT_EQ(ExfatUpcaseTable::bytes.size(), 5836u);
    EXPECT_EQ(static_cast<std::uint32_t>(ExfatUpcaseTable::checksum()), 0xE619D30Du);
    EXPECT_EQ(static_cast<std::uint32_t>(ExfatStructures::upcaseChecksum(ExfatUpcaseTable::bytes)), 0xE619D30Du);
}

TEST(ExfatUpcaseTable, ExpandsToAFullMapping) {
    const auto& upcase = ExfatUpcaseTable::mapping();
    EXPECT_EQ(upcase[u'a'], u'A');
    EXPECT_EQ(upcase[u'z'], u'Z');
    EXPECT_EQ(upcase[u'A'], u'A');
    EXPECT_EQ(upcase[u'0'], u'0');
    EXPECT_EQ(upcase[u'\u00E9'], u'\u00C9');  // é
    EXPECT_EQ(upcase[u'\u00DF'], u'\u00DF');  // ß has no single capital: stays
    EXPECT_EQ(upcase[u'\u03C9'], u'\u03A9');  // ω
    EXPECT_EQ(upcase[u'\u0430'], u'\u0410');  // а (Cyrillic)
    EXPECT_EQ(upcase[u'\uFF41'], u'\uFF21');  // fullwidth a
    EXPECT_EQ(upcase[0xFFFF], 0xFFFF);
}

TEST(ExfatUpcaseTable, ExpandingADamagedTableStaysInBounds) {
    // A run longer than the code space and a dangling odd byte.
    const std::vector<std::uint8_t> damaged{0x41, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x42, 0x00, 0x43};
    const auto upcase = ExfatUpcaseTable::expand(damaged);
    EXPECT_EQ(upcase[0], u'A');
    EXPECT_EQ(upcase[1], 1);
    EXPECT_EQ(upcase[0xFFFF], 0xFFFF);
}

}  // namespace
}  // namespace marlowick
