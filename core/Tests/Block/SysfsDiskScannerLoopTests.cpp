// The scanner against loop devices this test attaches; needs root.
#include "Block/SysfsDiskScanner.hpp"

#include <gtest/gtest.h>

#include "Block/SysfsBlockTree.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "SysfsFixture.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t imageBytes = 8 * 1024 * 1024;

// Detaches, by its name, a loop device the test attached by hand.
struct AttachedByHand {
    std::string path;
    ~AttachedByHand() { (void)test::runCommand("losetup -d " + path); }
};

TEST(SysfsDiskScannerLoop, ALoopDiskCarriesItsBackingFileAndGeometry) {
    MARLOWICK_REQUIRE_ROOT();
    test::TempDir folder;
    for (const int sectorSize : {512, 4096}) {
        SCOPED_TRACE(sectorSize);
        const auto image = folder.file("image " + std::to_string(sectorSize) + ".img");
        test::createSparseFile(image, imageBytes);
        const auto loop = test::LoopDevice::attach(image, sectorSize);
        if (!loop) GTEST_SKIP() << "no free loop device";

        const auto disk = SysfsDiskScanner().disk(loop->name());
        ASSERT_TRUE(disk.has_value());
        EXPECT_EQ(disk->deviceProtocol, "Virtual Interface");
        EXPECT_EQ(disk->name, image.filename().string()) << "named after its backing file";
        EXPECT_EQ(disk->serialNumber, fs::canonical(image).string());
        const BlockGeometry geometry{sectorSize, imageBytes / sectorSize, imageBytes};
        EXPECT_EQ(disk->geometry, geometry);
        EXPECT_TRUE(disk->isWhole);
        EXPECT_FALSE(disk->isInternal);
        EXPECT_FALSE(disk->isRemovable);
        EXPECT_TRUE(disk->isEligibleTarget(DriveVisibility::allExternal, false));
        EXPECT_EQ(disk->fingerprint().serialNumber, fs::canonical(image).string());
        const auto lsblk = test::runCommand("lsblk -d -n -b -r -o SIZE,LOG-SEC " + loop->path()).output;
        EXPECT_EQ(lsblk, std::to_string(imageBytes) + " " + std::to_string(sectorSize) + "\n");

        const auto listed = SysfsDiskScanner().scan();
        EXPECT_NE(std::find(listed.begin(), listed.end(), *disk), listed.end());
    }
}

TEST(SysfsDiskScannerLoop, ADifferentBackingFileUnderTheSameNameChangesTheFingerprint) {
    MARLOWICK_REQUIRE_ROOT();
    test::TempDir folder;
    test::createSparseFile(folder.file("first.img"), imageBytes);
    test::createSparseFile(folder.file("second.img"), imageBytes);
    std::string path;
    std::string name;
    DeviceFingerprint before;
    {
        const auto loop = test::LoopDevice::attach(folder.file("first.img"));
        if (!loop) GTEST_SKIP() << "no free loop device";
        path = loop->path();
        name = loop->name();
        const auto disk = SysfsDeviceProbe().probe(name);
        ASSERT_TRUE(disk.has_value());
        before = disk->fingerprint();
    }
    if (test::runCommand("losetup " + path + " '" + folder.file("second.img").string() + "'").exitCode != 0) {
        GTEST_SKIP() << path << " was taken meanwhile";
    }
    const AttachedByHand second{path};
    const auto disk = SysfsDeviceProbe().probe(name);
    ASSERT_TRUE(disk.has_value());
    const FingerprintMatch expected{FingerprintMatch::Mismatch{DeviceFingerprint::Field::serialNumber}};
    EXPECT_EQ(before.match(disk->fingerprint()), expected);
}

TEST(SysfsDiskScannerLoop, ALoopPartitionIsProbedAsNotWhole) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    test::TempDir folder;
    const auto image = folder.file("table.img");
    test::createSparseFile(image, 2 * imageBytes);
    ASSERT_EQ(test::runCommand("printf 'label: dos\\nstart=2048, size=8192, type=83\\n' | sfdisk -q '" +
                               image.string() + "'").exitCode, 0);
    const auto loop = test::LoopDevice::attach(image, 512, 0, 0, true);
    if (!loop) GTEST_SKIP() << "no free loop device";
    // Some kernels set the scan flag but list the partitions only when asked.
    (void)test::runCommand("partx -a " + loop->path());
    const auto partitionName = loop->name() + "p1";

    const SysfsBlockTree tree;
    EXPECT_EQ(tree.partitions(loop->name()), std::vector<std::string>{partitionName});
    EXPECT_EQ(tree.wholeDisk(partitionName), loop->name());
    const auto partition = SysfsDeviceProbe().probe(partitionName);
    ASSERT_TRUE(partition.has_value());
    EXPECT_FALSE(partition->isWhole);
    EXPECT_EQ(partition->bsdName, partitionName);
    const BlockGeometry geometry{512, 8192, 8192 * 512};
    EXPECT_EQ(partition->geometry, geometry);
    EXPECT_FALSE(partition->isEligibleTarget(DriveVisibility::allExternal, true));
}

}  // namespace
}  // namespace marlowick
