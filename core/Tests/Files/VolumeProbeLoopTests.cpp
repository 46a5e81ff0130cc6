// Both volume probes on a real exFAT partition of a loop device (root only): partitions
// listed with offset, size, type and writability, a mount made and mapped back to its
// device, the resolver mounting the data partition by itself, and failed or slow mounts
// leaving nothing behind.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "Block/MountTable.hpp"
#include "Files/LiveVolumeMountProbe.hpp"
#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedVolumeResolver.hpp"
#include "Files/PartitionedLoop.hpp"
#include "Files/UdisksFixture.hpp"
#include "Files/UdisksVolumeProbe.hpp"
#include "Helper/SysfsDeviceProbe.hpp"

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
    if (previous == nullptr) {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    } else {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    }
}

}  // namespace
}  // namespace marlowick
