#include "Install/CoreImgBlocklist.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace marlowick {
namespace {

TEST(CoreImgBlocklist, PatchesTheStartFieldLittleEndianAndReadsItBack) {
    const std::vector<std::uint8_t> sector(512, 0xAB);
    const auto patched = CoreImgBlocklist::patchTailPointer(sector, 0x0102030405060708 - 1);
    ASSERT_TRUE(patched);
    const std::vector<std::uint8_t> field(patched->begin() + 500, patched->begin() + 508);
    EXPECT_EQ(field, (std::vector<std::uint8_t>{0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));
    // Nothing but the field changes.
    std::vector<std::uint8_t> rest = *patched;
    std::fill(rest.begin() + 500, rest.begin() + 508, 0xAB);
    EXPECT_EQ(rest, sector);
    EXPECT_EQ(CoreImgBlocklist::tailPointer(*patched), 0x0102030405060708);
    EXPECT_EQ(CoreImgBlocklist::tailPointer(*CoreImgBlocklist::patchTailPointer(sector, 34)), 35);
}

TEST(CoreImgBlocklist, RefusesShortSectorsNegativeStartsAndValuesPastInt64) {
    EXPECT_FALSE(CoreImgBlocklist::patchTailPointer(std::vector<std::uint8_t>(507, 0), 1));
    EXPECT_TRUE(CoreImgBlocklist::patchTailPointer(std::vector<std::uint8_t>(508, 0), 1));
    EXPECT_FALSE(CoreImgBlocklist::patchTailPointer(std::vector<std::uint8_t>(512, 0), -1));
    EXPECT_FALSE(CoreImgBlocklist::tailPointer(std::vector<std::uint8_t>(507, 0)));
    std::vector<std::uint8_t> topBit(512, 0);
    topBit[507] = 0x80;
    EXPECT_FALSE(CoreImgBlocklist::tailPointer(topBit));
    topBit[507] = 0x7F;
    EXPECT_TRUE(CoreImgBlocklist::tailPointer(topBit));
}

}  // namespace
}  // namespace marlowick
