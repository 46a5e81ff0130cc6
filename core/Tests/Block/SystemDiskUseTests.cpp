#include "Block/SystemDiskUse.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

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

// The systems a root can stand on, each a small world of four SATA disks sda…sdd (one
// partition each), what is stacked and mounted on them, and the signatures a probe finds
// (a name missing from the map carries none). Each of the world's disks and its loop device
// is asked whether it is protected.
struct StandingCase {
    const char* name;
    std::function<void(SysfsFixture&)> build;
    std::map<std::string, std::optional<BlockSignature>> signatures;
    std::vector<std::string> systemDisks;
    std::vector<std::string> protectedDisks;  // systemDisks and the disks with holders
};

void addLiveMedium(SysfsFixture& tree) {
    tree.addLoopDevice("loop0", {7, 0}, "/run/live/medium/live/filesystem.squashfs");
    tree.addMount("/run/live/medium", {8, 17}, "/dev/sdb1", "iso9660", "ro");
    tree.addMount("/run/live/rootfs/filesystem.squashfs", {7, 0}, "/dev/loop0", "squashfs", "ro");
    tree.addMount("/run/live/overlay", {0, 40}, "tmpfs", "tmpfs", "rw,size=2018212k");
}

BlockSignature zfsMemberOf(std::optional<std::string> pool) { return {"zfs_member", std::move(pool), "1570981937"}; }

const StandingCase standingCases[] = {
    {"plainExt4",
     [](SysfsFixture& tree) {
         tree.addMount("/", {8, 1}, "/dev/sda1");
         tree.addMount("/home", {8, 17}, "/dev/sdb1");
     },
     {}, {"sda"}, {"sda"}},
    {"lvmOnLuks",
     [](SysfsFixture& tree) {
         tree.addDisk("virtual/block/dm-0", {254, 0}, 2091008);  // the opened LUKS volume
         tree.stack("dm-0", "sdc1");
         tree.addDisk("virtual/block/dm-1", {254, 1}, 2000000);  // the root volume of the group on it
         tree.stack("dm-1", "dm-0");
         tree.linkDevNode("mapper/vg-root", "../dm-1");
         tree.addMount("/", {254, 1}, "/dev/mapper/vg-root");
     },
     {}, {"sdc"}, {"sdc"}},
    {"liveOverlay",
     [](SysfsFixture& tree) {
         addLiveMedium(tree);
         tree.addMount("/", {0, 41}, "overlay", "overlay",
                       "rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,upperdir=/run/live/overlay/rw,"
                       "workdir=/run/live/overlay/work");
         tree.addMount("/media/user/DATA", {8, 33}, "/dev/sdc1", "exfat");
     },
     {}, {"loop0", "sdb"}, {"loop0", "sdb"}},
    {"liveOverlayWithPersistence",
     [](SysfsFixture& tree) {
         addLiveMedium(tree);
         tree.addMount("/run/live/persistence/sdd1", {8, 49}, "/dev/sdd1");
         tree.addMount("/", {0, 41}, "overlay", "overlay",
                       "rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,upperdir=/run/live/persistence/sdd1/rw,"
                       "workdir=/run/live/persistence/sdd1/work");
     },
     {}, {"loop0", "sdb", "sdd"}, {"loop0", "sdb", "sdd"}},
    {"liveOverlayOfLayersNamedBeforeTheRootSwitched",
     [](SysfsFixture& tree) {
         tree.addLoopDevice("loop0", {7, 0}, "/cdrom/casper/filesystem.squashfs");
         tree.addMount("/", {0, 41}, "/cow", "overlay", "rw,lowerdir=//filesystem.squashfs,upperdir=/cow/upper");
         tree.addMount("/cdrom", {8, 17}, "/dev/sdb1", "iso9660", "ro");
         tree.addMount("/rofs", {7, 0}, "/dev/loop0", "squashfs", "ro");
         tree.addMount("/media/user/DATA", {8, 33}, "/dev/sdc1", "exfat");
     },
     {}, {"loop0", "sdb"}, {"loop0", "sdb"}},
    {"zfsRoot",
     [](SysfsFixture& tree) {
         tree.addMount("/", {0, 45}, "rpool/ROOT/debian", "zfs", "rw,xattr,posixacl");
         tree.addMount("/boot", {0, 46}, "bpool/BOOT/debian", "zfs", "rw,xattr,posixacl");
     },
     {{"sda1", zfsMemberOf("rpool")}, {"sdb1", zfsMemberOf("rpool")}, {"sdc1", zfsMemberOf("bpool")},
      {"sdd1", zfsMemberOf("tank")}},
     {"sda", "sdb", "sdc"}, {"sda", "sdb", "sdc"}},
    {"zfsRootWithDoubts",
     [](SysfsFixture& tree) { tree.addMount("/", {0, 45}, "rpool/ROOT/debian", "zfs", "rw,xattr,posixacl"); },
     {{"sda1", zfsMemberOf("rpool")},
      {"sdb1", zfsMemberOf(std::nullopt)},
      {"sdc", std::nullopt},
      {"sdc1", std::nullopt},
      {"sdd1", BlockSignature{"ext4", "data", "2a4b…"}}},
     {"sda", "sdb", "sdc"}, {"sda", "sdb", "sdc"}},
    {"btrfsOverTwoDisks",
     [](SysfsFixture& tree) {
         tree.addBtrfs("8d0f6a3c-4a2e-4c4b-9a51-0e3e3b9c7a10", {"sda1", "sdb1"});
         tree.addBtrfs("5f7e1c22-93d4-4c1e-8f0a-6b2d4f1e9c33", {"sdc1"});
         tree.addMount("/", {0, 31}, "/dev/sdb1", "btrfs", "rw,ssd,space_cache=v2,subvolid=256,subvol=/@");
         tree.addMount("/srv", {0, 32}, "/dev/sdc1", "btrfs", "rw,space_cache=v2,subvolid=5,subvol=/");
     },
     {}, {"sda", "sdb"}, {"sda", "sdb"}},
};

TEST(SystemDiskUse, FollowsTheRootToEveryDiskItStandsOn) {
    for (const StandingCase& c : standingCases) {
        SCOPED_TRACE(c.name);
        SysfsFixture tree;
        tree.addSataDisks({"sda", "sdb", "sdc", "sdd"});
        c.build(tree);
        const auto probe = [&c](const std::string& name) -> std::optional<BlockSignature> {
            const auto found = c.signatures.find(name);
            return found == c.signatures.end() ? std::optional(BlockSignature{}) : found->second;
        };
        const SystemDiskUse use(tree.roots(), probe);
        EXPECT_EQ(use.systemDisks(), c.systemDisks);
        std::vector<std::string> protectedDisks;
        const SysfsBlockTree blockTree(tree.roots().sys);
        for (const char* name : {"loop0", "sda", "sdb", "sdc", "sdd"}) {
            if (blockTree.exists(name) && use.protects(name)) protectedDisks.push_back(name);
        }
        EXPECT_EQ(protectedDisks, c.protectedDisks);
    }
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
