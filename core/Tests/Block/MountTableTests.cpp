#include "Block/MountTable.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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
    EXPECT_EQ(entries[0], (MountEntry{36, 35, 98, 0, "/mnt1", "/mnt2", "ext3", "/dev/root", "rw,errors=continue"}));
    EXPECT_EQ(entries[1], (MountEntry{29, 1, 8, 17, "/", "/media/u/MY STICK", "exfat", "/dev/sdb1", "rw"}));
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

TEST(MountTable, HoldingFindsTheDeepestMountAndOfTwoOnOneFolderTheLater) {
    const auto table = MountTable::parse(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 0:20 / /run rw - tmpfs tmpfs rw\n"
        "3 2 8:17 / /run/live/medium ro - iso9660 /dev/sdb1 ro\n"
        "4 1 8:33 / /mnt rw - ext4 /dev/sdc1 rw\n"
        "5 4 8:49 / /mnt rw - ext4 /dev/sdd1 rw\n");
    const struct {
        const char* path;
        std::optional<std::int64_t> mountId;
    } cases[] = {
        {"/run/live/medium/live/filesystem.squashfs", 3}, {"/run/live/medium", 3}, {"/run/live/medium/", 3},
        {"/run/live/mediumx", 2}, {"/run//live/./medium/live", 3}, {"/run/live/medium/../x", 2}, {"/mnt/a", 5},
        {"/", 1}, {"//filesystem.squashfs", 1}, {"/var/swap", 1}, {"relative/path", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const MountEntry* found = MountTable::holding(table, c.path);
        EXPECT_EQ(found ? std::optional(found->mountId) : std::nullopt, c.mountId);
    }
}

TEST(MountTable, OverlayLayersAreEveryLowerFolderAndTheUpperOne) {
    const struct {
        const char* superOptions;
        std::vector<std::string> layers;
    } cases[] = {
        {"rw,lowerdir=/a:/b,upperdir=/c,workdir=/d", {"/a", "/b", "/c"}},
        {"rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,upperdir=/run/live/overlay/rw,workdir=/run/live/overlay/work",
         {"/run/live/rootfs/filesystem.squashfs/", "/run/live/overlay/rw"}},
        // Newer kernels escape a colon, a comma and a blank inside a folder's name.
        {"rw,lowerdir=/a\\072b:/c\\054d,upperdir=/e\\040f", {"/a:b", "/c,d", "/e f"}},
        // Older ones show the "\:" the folder was named with, its backslash escaped.
        {"rw,lowerdir=/a\\134:b:/c", {"/a:b", "/c"}},
        {"rw,lowerdir+=/a,lowerdir+=/b,datadir+=/c,upperdir=/u,workdir=/w", {"/a", "/b", "/c", "/u"}},
        {"ro,lowerdir=/a::/data-only", {"/a", "/data-only"}},
        {"rw,size=2018212k,mode=755", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.superOptions);
        EXPECT_EQ(MountTable::overlayLayers(c.superOptions), c.layers);
    }
}

TEST(MountTable, ReadsThisProcesssTableWithTheRootFileSystem) {
    const auto entries = MountTable::read();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const MountEntry& entry) { return entry.mountPoint == "/"; }));
    EXPECT_TRUE(MountTable::read("/nonexistent/mountinfo").empty());
}

}  // namespace
}  // namespace marlowick
