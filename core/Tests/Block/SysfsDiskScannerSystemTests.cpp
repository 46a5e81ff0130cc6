// The scanner against this machine's own /sys and /proc. Runs without root; skips only the
// assertions whose subject this machine lacks.
#include "Block/SysfsDiskScanner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "Block/SysfsBlockTree.hpp"
#include "SysfsFixture.hpp"

namespace marlowick {
namespace {

TEST(SysfsDiskScannerOnThisSystem, TheDiskHoldingTheRootFileSystemIsAProtectedSystemDisk) {
    const auto rootDisk = test::wholeDiskByLsblk("/");
    if (!rootDisk) GTEST_SKIP() << "/ stands on no block device here";
    const auto scanned = SysfsDiskScanner().scan();
    const auto found = std::find_if(scanned.begin(), scanned.end(),
                                    [&](const DiscoveredDisk& disk) { return disk.bsdName == *rootDisk; });
    ASSERT_NE(found, scanned.end()) << *rootDisk << " not listed";
    EXPECT_TRUE(found->isProtectedSystemDisk());
    EXPECT_FALSE(found->isEligibleTarget(DriveVisibility::allExternal, true));
    for (const auto& offered : SysfsDiskScanner().scan(DriveVisibility::allExternal)) {
        EXPECT_NE(offered.bsdName, *rootDisk);
    }
}

TEST(SysfsDiskScannerOnThisSystem, SizesAndSectorSizesAgreeWithLsblk) {
    MARLOWICK_REQUIRE_TOOL("lsblk");
    // Loop devices come and go while other tests run; the fixed disks stay put.
    std::istringstream lines(test::runCommand("lsblk -d -n -b -r -o NAME,SIZE,LOG-SEC,TYPE").output);
    std::string name;
    std::int64_t size = 0;
    int sectorSize = 0;
    std::string type;
    int compared = 0;
    const SysfsDiskScanner scanner;
    while (lines >> name >> size >> sectorSize >> type) {
        if (type == "loop" || size == 0) continue;
        const auto disk = scanner.disk(name);
        if (!disk) continue;  // optical drives are left out on purpose
        SCOPED_TRACE(name);
        EXPECT_EQ(disk->geometry.capacityBytes, size);
        EXPECT_EQ(disk->geometry.sectorSize, sectorSize);
        EXPECT_TRUE(disk->isWhole);
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "no fixed disk listed by lsblk";
}

TEST(SysfsDiskScannerOnThisSystem, ZramDevicesAreSynthesizedContainers) {
    const auto scanned = SysfsDiskScanner().scan();
    bool seen = false;
    for (const auto& disk : scanned) {
        if (!disk.bsdName.starts_with("zram")) continue;
        seen = true;
        EXPECT_TRUE(disk.isSynthesizedContainer()) << disk.bsdName;
        EXPECT_FALSE(disk.isEligibleTarget(DriveVisibility::allExternal, true)) << disk.bsdName;
    }
    if (!seen) GTEST_SKIP() << "no zram device in use here";
}

TEST(SysfsDiskScannerOnThisSystem, APartitionIsNotWhole) {
    const SysfsBlockTree tree;
    const SysfsDiskScanner scanner;
    for (const auto& name : tree.blockNames()) {
        if (!tree.isPartition(name)) continue;
        const auto partition = scanner.disk(name);
        if (!partition) continue;  // its disk went away, or is a detached loop device
        EXPECT_FALSE(partition->isWhole) << name;
        EXPECT_EQ(partition->bsdName, name);
        EXPECT_GT(partition->geometry.capacityBytes, 0);
        EXPECT_EQ(partition->geometry.capacityBytes, *tree.numberAttribute(name, "size") * 512);
        return;
    }
    GTEST_SKIP() << "no partition of a listed disk here";
}

}  // namespace
}  // namespace marlowick
