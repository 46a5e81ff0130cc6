// Target verification through the real sysfs probe: this machine's own disks, and loop
// devices the tests attach (those need root).
#include "HelperWire/TargetVerification.hpp"

#include <gtest/gtest.h>

#include "../Block/SysfsFixture.hpp"
#include "Block/SysfsDiskScanner.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "Block/SysfsDeviceProbe.hpp"

namespace marlowick {
namespace {

using Verdict = TargetVerification::Verdict;
using Reason = TargetVerification::IneligibilityReason;

constexpr std::int64_t imageBytes = 8 * 1024 * 1024;

Verdict verdictFor(const HelperDiskRef& disk, bool writesToDevice) {
    SysfsDeviceProbe probe;
    return TargetVerification::verify(disk, writesToDevice, probe);
}

// The reference the application would send for a disk it listed a moment ago.
std::optional<HelperDiskRef> referenceTo(const std::string& name) {
    const auto disk = SysfsDeviceProbe().probe(name);
    if (!disk) return std::nullopt;
    return HelperDiskRef(*disk);
}

TEST(TargetVerificationOnThisSystem, TheSystemDiskIsRefusedEvenForReading) {
    const auto rootDisk = test::wholeDiskByLsblk("/");
    if (!rootDisk) GTEST_SKIP() << "/ stands on no block device here";
    const auto reference = referenceTo(*rootDisk);
    ASSERT_TRUE(reference.has_value());
    const Verdict refused{Verdict::IneligibleTarget{*rootDisk, Reason::systemDisk}};
    EXPECT_EQ(verdictFor(*reference, false), refused);
    EXPECT_EQ(verdictFor(*reference, true), refused);
}

// Gives back, by its name, the compressed-RAM disk the test set up: reset to size 0, and
// removed again when setting it up added it.
struct ZramDisk {
    std::string name;
    bool added = false;
    ~ZramDisk() {
        (void)test::runCommand("echo 1 > /sys/block/" + name + "/reset");
        if (added) (void)test::runCommand("echo " + name.substr(4) + " > /sys/class/zram-control/hot_remove");
    }
};

TEST(TargetVerificationOnThisSystem, ACompressedRamDiskIsASynthesizedContainer) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("zramctl");
    const auto before = test::runCommand("ls /sys/block").output;
    auto found = test::runCommand("zramctl --find --size 16MiB");
    if (found.exitCode != 0 || !found.output.starts_with("/dev/zram")) GTEST_SKIP() << "no zram device to set up here";
    const std::string path = found.output.substr(0, found.output.find('\n'));
    const std::string device = path.substr(path.rfind('/') + 1);
    const ZramDisk zram{device, before.find(device + "\n") == std::string::npos};
    const auto& name = zram.name;
    const auto reference = referenceTo(name);
    ASSERT_TRUE(reference.has_value()) << name;
    EXPECT_EQ(verdictFor(*reference, false), (Verdict{Verdict::IneligibleTarget{name, Reason::synthesizedContainer}}));
}

// Detaches, by its name, a loop device the test attached by hand.
struct AttachedByHand {
    std::string path;
    ~AttachedByHand() { (void)test::runCommand("losetup -d " + path); }
};

TEST(TargetVerificationOnThisSystem, ALoopDiskVerifiesUntilItsBackingFileChanges) {
    MARLOWICK_REQUIRE_ROOT();
    test::TempDir folder;
    test::createSparseFile(folder.file("first.img"), imageBytes);
    test::createSparseFile(folder.file("second.img"), imageBytes);
    std::optional<HelperDiskRef> reference;
    std::string name;
    {
        const auto loop = test::LoopDevice::attach(folder.file("first.img"));
        if (!loop) GTEST_SKIP() << "no free loop device";
        name = loop->name();
        reference = referenceTo(name);
        ASSERT_TRUE(reference.has_value());
        EXPECT_EQ(reference->rawDevicePath, loop->path());
        EXPECT_TRUE(verdictFor(*reference, true).isVerified());
    }
    // Gone: nothing by that name any more.
    EXPECT_EQ(verdictFor(*reference, true), (Verdict{Verdict::DeviceNotFound{name}}));

    // The same name, the same size, another file behind it.
    if (test::runCommand("losetup " + reference->rawDevicePath + " '" + folder.file("second.img").string() + "'")
            .exitCode != 0) {
        GTEST_SKIP() << reference->rawDevicePath << " was taken meanwhile";
    }
    const AttachedByHand second{reference->rawDevicePath};
    EXPECT_EQ(verdictFor(*reference, true),
              (Verdict{Verdict::FingerprintMismatch{name, DeviceFingerprint::Field::serialNumber}}));
    // A reference without a fingerprint may still be read, never written.
    HelperDiskRef bare = *reference;
    bare.fingerprint.reset();
    EXPECT_TRUE(verdictFor(bare, false).isVerified());
    EXPECT_EQ(verdictFor(bare, true), (Verdict{Verdict::FingerprintMissing{name}}));
}

TEST(TargetVerificationOnThisSystem, APartitionOfALoopDiskIsNotAWholeDisk) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    test::TempDir folder;
    const auto image = folder.file("table.img");
    test::createSparseFile(image, 2 * imageBytes);
    ASSERT_EQ(test::runCommand("printf 'label: dos\\nstart=2048, size=8192, type=83\\n' | sfdisk -q '" +
                               image.string() + "'")
                  .exitCode,
              0);
    const auto loop = test::LoopDevice::attach(image, 512, 0, 0, true);
    if (!loop) GTEST_SKIP() << "no free loop device";
    (void)test::runCommand("partx -a " + loop->path());
    const auto partitionName = loop->name() + "p1";
    const auto reference = referenceTo(partitionName);
    if (!reference) GTEST_SKIP() << "the kernel did not list " << partitionName;
    EXPECT_EQ(verdictFor(*reference, false), (Verdict{Verdict::IneligibleTarget{partitionName, Reason::notWholeDisk}}));
    EXPECT_TRUE(verdictFor(*referenceTo(loop->name()), true).isVerified());
}

}  // namespace
}  // namespace marlowick
