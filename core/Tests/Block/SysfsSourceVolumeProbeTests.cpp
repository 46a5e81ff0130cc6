#include "Block/SysfsSourceVolumeProbe.hpp"

#include <gtest/gtest.h>

#include "../Block/SysfsFixture.hpp"
#include "Block/SysfsDeviceProbe.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using test::SysfsFixture;

class SysfsSourceVolumeProbeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addSataDisks({"sda", "sdb", "sdc", "sdd"});
        tree.addDisk("pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", {259, 0}, 2097152);
        tree.addPartition("nvme0n1", "nvme0n1p2", {259, 2}, 1048576);
        tree.addDisk("virtual/block/dm-0", {253, 7}, 2093056);
        tree.stack("dm-0", "sda1");
        tree.linkDevNode("mapper/vg-root", "../dm-0");
        tree.addDisk("virtual/block/md0", {9, 0}, 2093056);
        tree.stack("md0", "sdd1");
        tree.stack("md0", "sdc1");
    }

    SysfsFixture tree;
};

struct NodeCase {
    const char* name;
    const char* node;
    std::optional<std::string> disk;
};

class SysfsSourceVolumeProbeNodes : public SysfsSourceVolumeProbeFixture,
                                    public ::testing::WithParamInterface<NodeCase> {};

TEST_P(SysfsSourceVolumeProbeNodes, MapToTheirWholeDisk) {
    EXPECT_EQ(SysfsSourceVolumeProbe::wholeDiskName(GetParam().node, tree.roots()), GetParam().disk);
}

INSTANTIATE_TEST_SUITE_P(Fixture, SysfsSourceVolumeProbeNodes, ::testing::Values(
    NodeCase{"partition", "/dev/sdb1", "sdb"},
    NodeCase{"wholeDisk", "/dev/sdb", "sdb"},
    NodeCase{"nvmePartition", "/dev/nvme0n1p2", "nvme0n1"},
    NodeCase{"deviceMapperLink", "/dev/mapper/vg-root", "sda"},
    NodeCase{"raidOverTwoDisksGivesTheFirst", "/dev/md0", "sdc"},
    NodeCase{"unknownDevice", "/dev/sdq1", std::nullopt},
    NodeCase{"notUnderDev", "sdb1", std::nullopt},
    NodeCase{"leavesDev", "/dev/../etc/passwd", std::nullopt},
    NodeCase{"otherSystemsName", "/dev/ada0s1", std::nullopt}),
    test::CaseName{});

TEST_F(SysfsSourceVolumeProbeFixture, AFileMapsToTheDiskOfItsFileSystem) {
    const auto file = tree.path() / "image.iso";
    test::writeFile(file, {1, 2, 3});
    const auto number = test::deviceNumberOf(file);
    if (number.major == 0) GTEST_SKIP() << "the temp folder is on no block device";
    tree.addDisk("virtual/block/vdq", number, 2097152);
    SysfsSourceVolumeProbe probe(tree.roots());
    EXPECT_EQ(probe.wholeDiskBSDName(file.string()), "vdq");
    EXPECT_EQ(probe.wholeDiskBSDName((tree.path() / "missing.iso").string()), std::nullopt);
}

TEST_F(SysfsSourceVolumeProbeFixture, TheDeviceProbeReadsAfreshEachTime) {
    SysfsDeviceProbe probe(tree.roots());
    EXPECT_EQ(probe.probe("sdb")->geometry.capacityBytes, 2097152LL * 512);
    test::writeFile(fs::canonical(tree.roots().sys + "/class/block/sdb") / "size", {'6', '4', '\n'});
    EXPECT_EQ(probe.probe("sdb")->geometry.capacityBytes, 64 * 512);
    EXPECT_FALSE(probe.probe("sdb1")->isWhole);
    EXPECT_EQ(probe.probe("sdq"), std::nullopt);
}

TEST(SysfsSourceVolumeProbeOnThisSystem, AgreesWithFindmntAndLsblkAboutATempFile) {
    MARLOWICK_REQUIRE_TOOL("findmnt");
    MARLOWICK_REQUIRE_TOOL("lsblk");
    test::TempDir folder;
    test::writeFile(folder.file("source.img"), {0});
    EXPECT_EQ(SysfsSourceVolumeProbe().wholeDiskBSDName(folder.file("source.img").string()),
              test::wholeDiskByLsblk(folder.file("source.img")));
}

TEST(SysfsSourceVolumeProbeOnThisSystem, FilesOnNoBlockDeviceOrNowhereMapToNothing) {
    SysfsSourceVolumeProbe probe;
    EXPECT_EQ(probe.wholeDiskBSDName("/proc/version"), std::nullopt);
    EXPECT_EQ(probe.wholeDiskBSDName("/nonexistent/source.img"), std::nullopt);
    if (fs::exists("/dev/shm")) {
        EXPECT_EQ(probe.wholeDiskBSDName("/dev/shm"), std::nullopt);
    }
}

TEST(SysfsSourceVolumeProbeLoop, AFileOnALoopPartitionMapsToTheLoopDisk) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    MARLOWICK_REQUIRE_TOOL("mkfs.ext4");
    test::TempDir folder;
    const auto image = folder.file("disk.img");
    test::createSparseFile(image, 32 * 1024 * 1024);
    ASSERT_EQ(test::runCommand("printf 'label: dos\\nstart=2048, type=83\\n' | sfdisk -q '" + image.string() + "'")
                  .exitCode, 0);
    const auto loop = test::LoopDevice::attach(image, 512, 0, 0, true);
    if (!loop) GTEST_SKIP() << "no free loop device";
    // Some kernels set the scan flag but list the partitions only when asked.
    (void)test::runCommand("partx -a " + loop->path());
    const auto partition = loop->path() + "p1";
    ASSERT_EQ(test::runCommand("mkfs.ext4 -q -F " + partition).exitCode, 0);
    const auto mountPoint = folder.file("mnt");
    fs::create_directory(mountPoint);
    ASSERT_EQ(test::runCommand("mount " + partition + " '" + mountPoint.string() + "'").exitCode, 0);
    struct Unmount {
        fs::path point;
        ~Unmount() { (void)test::runCommand("umount '" + point.string() + "'"); }
    } unmount{mountPoint};

    test::writeFile(mountPoint / "source.img", {1, 2, 3, 4});
    EXPECT_EQ(SysfsSourceVolumeProbe().wholeDiskBSDName((mountPoint / "source.img").string()), loop->name());
    EXPECT_EQ(SysfsSourceVolumeProbe::wholeDiskName(partition), loop->name());
    // A mount of its own is no system use: the loop disk stays a possible target.
    const auto disk = SysfsDeviceProbe().probe(loop->name());
    ASSERT_TRUE(disk.has_value());
    EXPECT_FALSE(disk->isProtectedSystemDisk());
}

}  // namespace
}  // namespace marlowick
