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

TEST_F(SystemDiskUseFixture, ASwapFileProtectsTheDiskOfItsFileSystem) {
    const auto swapFile = tree.path() / "swap file";
    test::writeFile(swapFile, {0});
    const auto number = test::deviceNumberOf(swapFile);
    if (number.major == 0) GTEST_SKIP() << "the temp folder is on no block device";
    tree.addDisk("virtual/block/vdq", number, 2097152);
    tree.addSwap(swapFile.string(), "file");
    EXPECT_EQ(SystemDiskUse(tree.roots()).systemDisks(), (std::vector<std::string>{"vdq"}));
}

TEST(SystemDiskUse, ReadsSwapsWithEscapedPathsAndSkipsTheHeading) {
    const auto areas = SystemDiskUse::parseSwaps(
        "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
        "/dev/dm-1                               partition\t8388604\t\t0\t\t-2\n"
        "/var/swap\\040file                     file\t\t1048572\t\t0\t\t-3\n"
        "\n");
    const std::vector<SwapArea> expected{{"/dev/dm-1", "partition"}, {"/var/swap file", "file"}};
    EXPECT_EQ(areas, expected);
}

}  // namespace
}  // namespace marlowick
