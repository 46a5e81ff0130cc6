// What the helper program refuses, each before it writes a byte: boot files no trusted
// release vouches for, a partition instead of a whole disk, the system disk, and a drive
// that is no longer the one the command was made for.

#include <gtest/gtest.h>

#include <filesystem>

#include "Block/SysfsDeviceProbe.hpp"
#include "HelperEngine/EngineTestSupport.hpp"
#include "HelperTestDrive.hpp"

namespace marlowick {
namespace {

using Verdict = TargetVerification::Verdict;

class HelperProgramRefuses : public test::HelperTestDriveFixture {
protected:
    // Runs the command and expects exactly `refusal`, with the drive's bytes unchanged.
    void expectRefused(HelperCommand::Case command, const HelperCommandError::Case& refusal) {
        const std::string before = drive->sha256();
        const HelperResult result = runner->run(HelperCommand{std::move(command)});
        EXPECT_EQ(result, HelperResult::failed(refusal));
        EXPECT_EQ(drive->sha256(), before) << "the drive was written";
    }
};

TEST_F(HelperProgramRefuses, BootFilesOfAReleaseNoManifestVouchesFor) {
    std::string skip;
    std::optional<test::TrustedBootFiles> trusted = test::trustedBootFiles(skip);
    if (!trusted) GTEST_SKIP() << skip;
    HelperAssetRefSet unsigned_ = trusted->assets;
    unsigned_.registry.reset();
    expectRefused(HelperCommand::Prepare{drive->disk(), unsigned_, {}, std::nullopt},
                  HelperCommandError::InvalidOptions{std::string("Ventoy ") + test::registryOnlyVersion +
                                                     " is not a verified release"});
}

TEST_F(HelperProgramRefuses, ADriveWhoseIdentityChanged) {
    HelperDiskRef swapped = drive->disk();
    ASSERT_TRUE(swapped.fingerprint.has_value());
    swapped.fingerprint->serialNumber = "SWAPPED-0001";
    const std::string name = drive->devicePath().substr(5);
    expectRefused(HelperCommand::RemoveVentoy{swapped, HelperRemoveOptions()},
                  HelperCommandError::TargetVerificationFailed{
                      Verdict{Verdict::FingerprintMismatch{name, DeviceFingerprint::Field::serialNumber}}});
}

// A partition node of the drive: a second loop device over the same image, with a table
// written by sfdisk and the kernel's partition scan.
TEST_F(HelperProgramRefuses, APartitionInsteadOfTheWholeDisk) {
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    const test::CommandOutput table =
        test::runCommand("echo 'start=2048, type=7' | PATH=\"$PATH:/usr/sbin:/sbin\" sfdisk -q " + drive->devicePath());
    ASSERT_EQ(table.exitCode, 0) << table.output;
    test::CommandOutput scanned =
        test::runCommand("losetup --find --show --partscan '" + drive->imagePath().string() + "'");
    ASSERT_EQ(scanned.exitCode, 0) << scanned.output;
    const std::string scannedDisk = scanned.output.substr(0, scanned.output.find('\n'));
    struct Detach {
        std::string path;
        ~Detach() { (void)test::runCommand("losetup -d " + path); }
    } detach{scannedDisk};
    const std::string partition = scannedDisk.substr(5) + "p1";
    // The kernel adds the partition on its own schedule; ask again until it is there.
    for (int attempt = 0; attempt < 100 && !std::filesystem::exists("/sys/class/block/" + partition); ++attempt) {
        (void)test::runCommand("PATH=\"$PATH:/usr/sbin:/sbin\" partx -a " + scannedDisk + " 2>/dev/null; sleep 0.02");
    }
    const std::optional<DiscoveredDisk> described = SysfsDeviceProbe().probe(partition);
    ASSERT_TRUE(described.has_value()) << "no " << partition;

    expectRefused(HelperCommand::RemoveVentoy{HelperDiskRef(*described), HelperRemoveOptions()},
                  HelperCommandError::TargetVerificationFailed{
                      Verdict{Verdict::IneligibleTarget{partition, TargetVerification::IneligibilityReason::notWholeDisk}}});
}

// The disk the root file system lives on. Nothing is compared byte for byte there (the
// running system writes to it); the command names an image that does not exist, so even
// a target check that let it through would end before the disk is opened.
TEST_F(HelperProgramRefuses, ThisComputersOwnSystemDisk) {
    const test::CommandOutput root = test::runCommand(
        "disk=$(findmnt -no SOURCE / 2>/dev/null); "
        "parent=$(lsblk -no PKNAME \"$disk\" 2>/dev/null | head -n1); "
        "if [ -n \"$parent\" ]; then echo \"$parent\"; else basename \"$disk\"; fi");
    const std::string name = root.output.substr(0, root.output.find('\n'));
    const std::optional<DiscoveredDisk> described =
        name.empty() ? std::nullopt : SysfsDeviceProbe().probe(name);
    if (!described || !described->isWhole) GTEST_SKIP() << "the root file system is not on a block device here";

    const HelperResult result = runner->run(HelperCommand{HelperCommand::WriteRawImage{
        HelperDiskRef(*described), drive->folder().file("missing.img").string(), true}});
    EXPECT_EQ(result, HelperResult::failed(HelperCommandError::TargetVerificationFailed{
                          Verdict{Verdict::IneligibleTarget{name, TargetVerification::IneligibilityReason::systemDisk}}}));
}

}  // namespace
}  // namespace marlowick
