// Both volume probes on a real exFAT partition of a loop device (root only): partitions
// listed with offset, size, type and writability, a mount made and mapped back to its
// device, the resolver mounting the data partition by itself, failed or slow mounts
// leaving nothing behind, and udisks2 mounting for a user without privileges once polkit
// allows it, that user then adding an image to the volume.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "Block/MountTable.hpp"
#include "Files/LiveVolumeMountProbe.hpp"
#include "Files/MountedImageCopier.hpp"
#include "Files/MountedVolumeFiles.hpp"
#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedVolumeResolver.hpp"
#include "Files/PartitionedLoop.hpp"
#include "Files/UdisksFixture.hpp"
#include "Files/UdisksVolumeProbe.hpp"
#include "Block/SysfsDeviceProbe.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
constexpr std::int64_t partitionSectors = 131072;  // 64 MiB

VentoyLayout layoutOf(const test::PartitionedLoop& loop) {
    VentoyLayout layout;
    layout.sectorSize = 512;
    layout.part1StartSector = test::PartitionedLoop::partitionStartSector;
    layout.part1SectorCount = loop.partitionSectors();
    return layout;
}

bool mountedAt(const fs::path& folder) {
    for (const MountEntry& entry : MountTable::read()) {
        if (entry.mountPoint == folder.string()) return true;
    }
    return false;
}

// Lists, mounts, maps back and resolves through the given probe.
void exerciseProbe(VolumeMountProbe& probe, const test::PartitionedLoop& loop) {
    const std::vector<PartitionVolumeInfo> before = probe.partitions(loop.diskName());
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0], (PartitionVolumeInfo{loop.partitionName(), 1048576, partitionSectors * 512, "exfat",
                                              std::nullopt, true}));
    EXPECT_TRUE(probe.partitions("no-such-disk").empty());

    const std::optional<DiscoveredDisk> described = SysfsDeviceProbe().probe(loop.diskName());
    ASSERT_TRUE(described);
    SysfsDeviceProbe devices;
    const MountedVolumeResolution resolution =
        MountedVolumeResolver::resolve(HelperDiskRef(*described), layoutOf(loop), devices, probe);
    const auto* volume = std::get_if<MountedVolume>(&resolution.value);
    ASSERT_TRUE(volume) << ::testing::PrintToString(resolution);
    EXPECT_EQ(volume->partitionBSDName, loop.partitionName());
    EXPECT_TRUE(mountedAt(volume->mountPoint));
    EXPECT_EQ(probe.deviceNode(volume->mountPoint), loop.partitionNode());
    EXPECT_EQ(probe.deviceNode(volume->mountPoint / "no-such-file"), std::nullopt);

    const std::vector<PartitionVolumeInfo> after = probe.partitions(loop.diskName());
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].mountPoint, volume->mountPoint);
    // Already mounted: resolved again without a second mount.
    const MountedVolumeResolution again =
        MountedVolumeResolver::resolve(HelperDiskRef(*described), layoutOf(loop), devices, probe);
    EXPECT_EQ(again, resolution);
}

// Runs `work` in a child process with the user's ids and no supplementary groups, and gives
// back what it returned.
std::string asUser(const test::UdisksFixture::User& user, const std::function<std::string()>& work) {
    return test::inChildProcess([&user, &work]() -> std::string {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(user.gid) == 0 && ::setuid(user.uid) == 0 &&
                             ::geteuid() == user.uid;
        return dropped ? work() : "could not become " + user.name;
    });
}

class VolumeProbeOnLoop : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        loop = test::PartitionedLoop::create("exfat", partitionSectors, whyNot);
        if (!loop) GTEST_SKIP() << whyNot;
    }
    std::unique_ptr<test::PartitionedLoop> loop;
    test::TempDir mounts;
};

TEST_F(VolumeProbeOnLoop, MountCommandProbeMountsAndMapsBack) {
    MountCommandVolumeProbe probe(std::chrono::seconds(30), mounts.path().string());
    exerciseProbe(probe, *loop);
    loop->unmountAll();
}

TEST_F(VolumeProbeOnLoop, MountCommandProbeLeavesNothingOfAFailedOrSlowMount) {
    MountCommandVolumeProbe slow(std::chrono::microseconds(1), mounts.path().string());
    const VolumeMountAttempt timedOut = slow.mount(loop->partitionName());
    EXPECT_EQ(timedOut, (VolumeMountAttempt{VolumeMountAttempt::Failed{"mount(8) did not finish within 0 s"}}));
    EXPECT_FALSE(mountedAt(mounts.path() / loop->partitionName()));
    EXPECT_FALSE(fs::exists(mounts.path() / loop->partitionName()));

    ASSERT_EQ(test::runCommand("wipefs -q -a " + loop->partitionNode()).exitCode, 0);
    MountCommandVolumeProbe probe(std::chrono::seconds(30), mounts.path().string());
    EXPECT_EQ(probe.mount(loop->partitionName()),
              (VolumeMountAttempt{VolumeMountAttempt::Failed{"no file system found on " + loop->partitionNode()}}));
    EXPECT_EQ(probe.mount("../sda"), (VolumeMountAttempt{VolumeMountAttempt::Failed{"not a device name: ../sda"}}));
    EXPECT_TRUE(fs::is_empty(mounts.path()));
}

TEST_F(VolumeProbeOnLoop, UdisksProbeMountsAndMapsBack) {
    std::string whyNot;
    const std::unique_ptr<test::UdisksFixture> udisks = test::UdisksFixture::start(whyNot);
    if (!udisks) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(UdisksVolumeProbe::serviceAnswers());
    ASSERT_TRUE(udisks->waitForType(loop->partitionNode(), "exfat"));
    UdisksVolumeProbe probe(std::chrono::seconds(60));
    exerciseProbe(probe, *loop);
    EXPECT_EQ(probe.mount("no-such-partition"),
              (VolumeMountAttempt{VolumeMountAttempt::Failed{"udisks does not know no-such-partition"}}));
    (void)test::runCommand("udisksctl unmount --no-user-interaction -b " + loop->partitionNode());
    loop->unmountAll();
}

TEST_F(VolumeProbeOnLoop, UdisksEjectUnmountsEveryFileSystemOfTheDrive) {
    std::string whyNot;
    const std::unique_ptr<test::UdisksFixture> udisks = test::UdisksFixture::start(whyNot);
    if (!udisks) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(udisks->waitForType(loop->partitionNode(), "exfat"));
    UdisksVolumeProbe probe(std::chrono::seconds(60));
    ASSERT_EQ(probe.mount(loop->partitionName()), (VolumeMountAttempt{VolumeMountAttempt::Mounted{}}));
    const auto mountPoint = [&] {
        const std::vector<PartitionVolumeInfo> partitions = probe.partitions(loop->diskName());
        return partitions.empty() ? std::nullopt : partitions[0].mountPoint;
    };
    const std::optional<fs::path> mounted = mountPoint();
    ASSERT_TRUE(mounted.has_value());
    ASSERT_TRUE(mountedAt(*mounted));

    // A loop device has no drive to eject or power off: letting go of it is the unmount.
    EXPECT_EQ(UdisksVolumeProbe::ejectDrive(loop->diskName()), std::nullopt);
    EXPECT_FALSE(mountedAt(*mounted));
    EXPECT_EQ(mountPoint(), std::nullopt);
    // Nothing mounted any more: a second eject has nothing to do and says so by succeeding.
    EXPECT_EQ(UdisksVolumeProbe::ejectDrive(loop->diskName()), std::nullopt);
    EXPECT_EQ(UdisksVolumeProbe::ejectDrive("no-such-disk"), "udisks does not know no-such-disk");
    loop->unmountAll();
}

// The application adds images as the logged-in user: udisks2 mounts for that user once
// polkit allows it, and the user's copy lands on the volume intact.
TEST_F(VolumeProbeOnLoop, UdisksProbeMountsForAUserWithoutPrivileges) {
    std::string whyNot;
    const std::unique_ptr<test::UdisksFixture> udisks = test::UdisksFixture::start(whyNot);
    if (!udisks) GTEST_SKIP() << whyNot;
    const std::optional<test::UdisksFixture::User> user = udisks->addUser("marlowick-test", whyNot);
    if (!user) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(udisks->waitForType(loop->partitionNode(), "exfat"));
    const std::optional<DiscoveredDisk> described = SysfsDeviceProbe().probe(loop->diskName());
    ASSERT_TRUE(described);

    // The user's source image, readable by the user.
    test::TempDir sources;
    fs::permissions(sources.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    std::vector<std::uint8_t> image(1 << 20);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    const fs::path source = sources.file("user.iso");
    test::writeFile(source, image);
    fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);

    const auto resolveAndCopy = [&]() -> std::string {
        SysfsDeviceProbe devices;
        UdisksVolumeProbe probe(std::chrono::seconds(60));
        const MountedVolumeResolution resolution =
            MountedVolumeResolver::resolve(HelperDiskRef(*described), layoutOf(*loop), devices, probe);
        const auto* volume = std::get_if<MountedVolume>(&resolution.value);
        if (volume == nullptr) return "refused " + ::testing::PrintToString(resolution);
        const MountedImageCopyResult copied = MountedImageCopier().copy(
            source.string(), "user.iso", static_cast<std::int64_t>(image.size()), volume->mountPoint, true, nullptr,
            nullptr, [] { return false; });
        return volume->mountPoint.string() + "\n" + render(copied);
    };

    // Without the rule, a loop device is a system device that needs an administrator.
    const std::string refused = asUser(*user, resolveAndCopy);
    EXPECT_TRUE(refused.starts_with("refused ")) << refused;
    EXPECT_NE(refused.find("NotAuthorized"), std::string::npos) << refused;

    ASSERT_TRUE(udisks->allowMounts(*user));
    // polkitd notices a new rule file on its own, a moment later.
    std::string said = asUser(*user, resolveAndCopy);
    for (int i = 0; i < 40 && said.find("NotAuthorized") != std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        said = asUser(*user, resolveAndCopy);
    }
    const std::string mountPoint = said.substr(0, said.find('\n'));
    EXPECT_TRUE(mountPoint.starts_with("/media/" + user->name + "/")) << said;
    EXPECT_NE(said.find("\ncopied(sizeBytes: 1048576,"), std::string::npos) << said;
    EXPECT_EQ(test::runCommand("cmp '" + source.string() + "' '" + mountPoint + "/user.iso'").exitCode, 0) << said;
    UdisksVolumeProbe probe(std::chrono::seconds(60));
    EXPECT_EQ(probe.deviceNode(mountPoint), loop->partitionNode());
    const auto listed = MountedVolumeFiles{fs::path(mountPoint)}.list(VolumePath::root, false);
    ASSERT_TRUE(std::holds_alternative<std::vector<MountedEntry>>(listed));
    const std::vector<MountedEntry>& entries = std::get<std::vector<MountedEntry>>(listed);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().path.string(), "/user.iso");
    EXPECT_EQ(entries.front().sizeBytes, 1 << 20);

    (void)test::runCommand("udisksctl unmount --no-user-interaction -b " + loop->partitionNode());
    loop->unmountAll();
}

TEST(UdisksVolumeProbeWithoutService, SaysNoServiceAnswers) {
    const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string saved = previous == nullptr ? "" : previous;
    test::TempDir dir;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.file("no-bus").string()).c_str(), 1);
    EXPECT_FALSE(UdisksVolumeProbe::serviceAnswers(std::chrono::milliseconds(500)));
    UdisksVolumeProbe probe(std::chrono::seconds(1));
    EXPECT_TRUE(probe.partitions("sda").empty());
    EXPECT_TRUE(std::holds_alternative<VolumeMountAttempt::Failed>(probe.mount("sda1").value));
    // Root without udisks2 mounts with mount(8); anyone else keeps udisks2 and its failures.
    const std::shared_ptr<VolumeMountProbe> live = liveVolumeMountProbe();
    EXPECT_EQ(dynamic_cast<MountCommandVolumeProbe*>(live.get()) != nullptr, ::geteuid() == 0);
    EXPECT_EQ(UdisksVolumeProbe::ejectDrive("sda"), "could not connect to the system bus");
    if (previous == nullptr) {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    } else {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    }
}

}  // namespace
}  // namespace marlowick
