#include "Block/MountTable.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace marlowick {
namespace {

TEST(MountTable, ReadsFieldsAroundAnyNumberOfOptionalFields) {
    const auto entries = MountTable::parse(
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
        "29 1 8:17 / /media/u/MY\\040STICK rw,nosuid shared:5 master:2 - exfat /dev/sdb1 rw\n"
        "30 1 259:3 / /boot/efi rw - vfat /dev/nvme0n1p1 rw\n"
        // The kernel escapes only blank, tab, line feed and backslash; other white space stays.
        "31 1 8:33 / /media/u/A\vB\fC\rD\011E rw - exfat /dev/sdc1 rw\n");
    ASSERT_EQ(entries.size(), 4U);
    EXPECT_EQ(entries[0], (MountEntry{36, 35, 98, 0, "/mnt1", "/mnt2", "ext3", "/dev/root"}));
    EXPECT_EQ(entries[1], (MountEntry{29, 1, 8, 17, "/", "/media/u/MY STICK", "exfat", "/dev/sdb1"}));
    EXPECT_EQ(entries[2].mountPoint, "/boot/efi");
    EXPECT_EQ(entries[2].major, 259U);
    EXPECT_EQ(entries[3].mountPoint, "/media/u/A\vB\fC\rD\tE");
}

TEST(MountTable, SkipsLinesWithoutTheTablesShape) {
    const auto entries = MountTable::parse(
        "\n"
        "garbage\n"
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 ext3 /dev/root rw\n"  // no separator
        "x 35 98:0 / /a rw - ext4 /dev/a rw\n"                              // id not a number
        "36 35 980 / /a rw - ext4 /dev/a rw\n"                              // device without colon
        "36 35 9:-1 / /a rw - ext4 /dev/a rw\n"                             // negative minor
        "36 35 9:1 / /a rw -\n"                                             // nothing after separator
        "37 35 8:1 / /ok\\134dir rw - ext4 /dev/sda1 rw");                  // last line unterminated
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].mountPoint, "/ok\\dir");
}

TEST(MountTable, EscapesThatAreNotThreeOctalDigitsStayAsWritten) {
    const auto entries = MountTable::parse("1 0 8:1 / /a\\08\\1 rw - ext4 /dev/sda1 rw\n");
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].mountPoint, "/a\\08\\1");
}

TEST(MountTable, ReadsThisProcesssTableWithTheRootFileSystem) {
    const auto entries = MountTable::read();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const MountEntry& entry) { return entry.mountPoint == "/"; }));
    EXPECT_TRUE(MountTable::read("/nonexistent/mountinfo").empty());
}

}  // namespace
}  // namespace marlowick
