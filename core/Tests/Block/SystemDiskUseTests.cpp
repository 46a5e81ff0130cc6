#include "Block/SystemDiskUse.hpp"

#include <gtest/gtest.h>

#include "SysfsFixture.hpp"

namespace marlowick {
namespace {

using test::SysfsFixture;

// Plain disks sda…sdd, each with one partition, and md0 mirrored over sdc1 and sdd1.
class SystemDiskUseFixture : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addSataDisks({"sda", "sdb", "sdc", "sdd"});
        tree.addDisk("virtual/block/md0", {9, 0}, 2093056);
        tree.stack("md0", "sdc1");
        tree.stack("md0", "sdd1");
    }

    SysfsFixture tree;
};

TEST_F(SystemDiskUseFixture, NothingMountedOrSwappedProtectsOnlyDisksWithHolders) {
    const SystemDiskUse use(tree.roots());
    EXPECT_TRUE(use.systemDisks().empty());
    EXPECT_FALSE(use.protects("sda"));
    EXPECT_TRUE(use.protects("sdc"));
    EXPECT_TRUE(use.protects("sdd"));
}

TEST_F(SystemDiskUseFixture, SystemMountPointsProtectTheirDisksOtherMountsDoNot) {
    tree.addMount("/boot/efi", {8, 1}, "/dev/sda1", "vfat");
    tree.addMount("/media/stick", {8, 17}, "/dev/sdb1", "exfat");
    const SystemDiskUse use(tree.roots());
    EXPECT_EQ(use.systemDisks(), (std::vector<std::string>{"sda"}));
    EXPECT_FALSE(use.protects("sdb"));
}

TEST_F(SystemDiskUseFixture, ARootOnRaidProtectsEveryMember) {
    tree.addMount("/", {9, 0}, "/dev/md0");
    EXPECT_EQ(SystemDiskUse(tree.roots()).systemDisks(), (std::vector<std::string>{"sdc", "sdd"}));
}

TEST_F(SystemDiskUseFixture, AnAnonymousDeviceNumberFallsBackToTheMountSource) {
    // Btrfs reports 0:N; its source names the partition, here through a /dev/disk link.
    tree.linkDevNode("disk/by-label/system", "../../sdb1");
    tree.addMount("/usr", {0, 31}, "/dev/disk/by-label/system", "btrfs");
    EXPECT_EQ(SystemDiskUse(tree.roots()).systemDisks(), (std::vector<std::string>{"sdb"}));
}

TEST_F(SystemDiskUseFixture, SwapPartitionsThroughDeviceMapperLinksProtectTheirDisks) {
    tree.addDisk("virtual/block/dm-1", {254, 1}, 2093056);
    tree.stack("dm-1", "sda1");
    tree.linkDevNode("mapper/vg-swap", "../dm-1");
    tree.addSwap("/dev/mapper/vg-swap", "partition");
    tree.addSwap("/dev/sdb1", "partition");
    EXPECT_EQ(SystemDiskUse(tree.roots()).systemDisks(), (std::vector<std::string>{"sda", "sdb"}));
}

// Swap files named with each character the kernel escapes in /proc/swaps (blank, tab, line
// feed, backslash) and with those it leaves as they are (vertical tab, form feed, carriage
// return), which must not split the path.
TEST_F(SystemDiskUseFixture, ASwapFileProtectsTheDiskOfItsFileSystem) {
    const char* const names[] = {"swap file", "swap\tfile", "swap\nfile", "swap\\file",
                                 "swap\vfile", "swap\ffile", "swap\rfile", "swap\v\f\r \\file"};
    const auto number = test::deviceNumberOf(tree.path());
    if (number.major == 0) GTEST_SKIP() << "the temp folder is on no block device";
    for (const char* name : names) {
        SCOPED_TRACE(testing::PrintToString(std::string(name)));
        test::SysfsFixture swapping;
        swapping.addDisk("virtual/block/vdq", number, 2097152);
        const auto swapFile = swapping.path() / name;
        test::writeFile(swapFile, {0});
        swapping.addSwap(swapFile.string(), "file");
        EXPECT_EQ(SystemDiskUse(swapping.roots()).systemDisks(), (std::vector<std::string>{"vdq"}));
    }
}

struct SwapsCase {
    const char* name;
    const char* line;  // as the kernel writes it
    const char* path;
    const char* type;
};

TEST(SystemDiskUse, ReadsSwapsWithEscapedPathsAndSkipsTheHeading) {
    const SwapsCase cases[] = {
        {"partition", "/dev/dm-1                               partition\t8388604\t\t0\t\t-2", "/dev/dm-1",
         "partition"},
        {"blank", "/var/swap\\040file                     file\t\t1048572\t\t0\t\t-3", "/var/swap file", "file"},
        {"tab", "/var/swap\\011file                     file\t\t1048572\t\t0\t\t-3", "/var/swap\tfile", "file"},
        {"lineFeed", "/var/swap\\012file                     file\t\t1048572\t\t0\t\t-3", "/var/swap\nfile",
         "file"},
        {"backslash", "/var/swap\\134file                     file\t\t1048572\t\t0\t\t-3", "/var/swap\\file",
         "file"},
        {"verticalTab", "/var/swap\vfile                          file\t\t1048572\t\t0\t\t-3", "/var/swap\vfile",
         "file"},
        {"formFeed", "/var/swap\ffile                          file\t\t1048572\t\t0\t\t-3", "/var/swap\ffile",
         "file"},
        {"carriageReturn", "/var/swap\rfile                          file\t\t1048572\t\t0\t\t-3",
         "/var/swap\rfile", "file"},
        {"pathOf40", "/var/lib/swap/a-long-name-of-40-bytes.sw file\t\t1048572\t\t0\t\t-3",
         "/var/lib/swap/a-long-name-of-40-bytes.sw", "file"},
    };
    for (const SwapsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto areas =
            SystemDiskUse::parseSwaps(std::string("Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n") + c.line + "\n\n");
        const std::vector<SwapArea> expected{{c.path, c.type}};
        EXPECT_EQ(areas, expected);
    }
}

}  // namespace
}  // namespace marlowick
