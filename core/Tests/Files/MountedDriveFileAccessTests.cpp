// The live drive file access over scripted probes, with a temporary folder as the mounted
// data volume: the volume resolved afresh for each call, refusals passed on, the single-walk
// image listing and deletion.
#include <gtest/gtest.h>

#include "Files/MountedDriveFileAccess.hpp"
#include "Files/ScriptedVolumeProbe.hpp"
#include "Block/FakeProbes.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Images = DriveFileOutcome<std::vector<HelperImageEntry>>;

class MountedDriveFileAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(root);
        volumes->beforeMount = {test::dataPartitionInfo(root)};
        volumes->nodes[root] = "/dev/sdb1";
    }
    void file(const std::string& relative, std::size_t size = 3) {
        fs::create_directories((root / relative).parent_path());
        test::writeFile(root / relative, std::vector<std::uint8_t>(size, 1));
    }

    test::TempDir dir;
    fs::path root = dir.file("VENTOY");
    std::shared_ptr<test::FakeDeviceProbe> devices =
        std::make_shared<test::FakeDeviceProbe>(std::vector<DiscoveredDisk>{test::usbStick()});
    std::shared_ptr<test::ScriptedVolumeProbe> volumes = std::make_shared<test::ScriptedVolumeProbe>();
    MountedDriveFileAccess access{devices, volumes};
    HelperDiskRef disk{test::usbStick()};
};

TEST_F(MountedDriveFileAccessTest, ListsImagesInOneWalkAndResolvesEveryCall) {
    file("a.iso", 10);
    file("Linux.ISO", 11);
    file("notes.txt");
    file("tools/b.img", 12);
    file("tools/deep/c.vtoy", 13);
    file(".hidden.iso");
    fs::create_directory(root / "x.iso");
    file("m/b.iso", 14);
    file("z.iso", 15);
    EXPECT_EQ(access.listImages(disk, test::sampleWireLayout()),
              Images::done({HelperImageEntry("/a.iso", "a.iso", 10, false),
                            HelperImageEntry("/Linux.ISO", "Linux.ISO", 11, false),
                            HelperImageEntry("/m/b.iso", "b.iso", 14, false),
                            HelperImageEntry("/tools/b.img", "b.img", 12, false),
                            HelperImageEntry("/tools/deep/c.vtoy", "c.vtoy", 13, false),
                            HelperImageEntry("/z.iso", "z.iso", 15, false)}));
    const auto listed = access.list(VolumePath::root, disk, test::sampleWireLayout());
    ASSERT_TRUE(listed.doneValue());
    EXPECT_EQ(listed.doneValue()->size(), 7u);  // hidden left out
    EXPECT_EQ(volumes->partitionsAsked.size(), 2u);
    EXPECT_EQ(devices->asked.size(), 4u);
}

TEST_F(MountedDriveFileAccessTest, RefusesAnUnknownStyleWithoutMounting) {
    EXPECT_EQ(access.list(VolumePath::root, disk, test::sampleWireLayout("GPT")),
              DriveFileOutcome<std::vector<MountedEntry>>::refused({MountedVolumeRefusal::DataPartitionNotFound{"sdb"}}));
    disk.rawDevicePath = "/dev/disk/by-id/usb-stick";
    EXPECT_EQ(access.listImages(disk, test::sampleWireLayout("apm")),
              Images::refused({MountedVolumeRefusal::DataPartitionNotFound{"/dev/disk/by-id/usb-stick"}}));
    EXPECT_TRUE(devices->asked.empty());
    EXPECT_TRUE(volumes->partitionsAsked.empty());
}

TEST_F(MountedDriveFileAccessTest, PassesRefusalsAndFailuresOn) {
    disk.fingerprint.reset();
    EXPECT_EQ(access.list(VolumePath::root, disk, test::sampleWireLayout()),
              DriveFileOutcome<std::vector<MountedEntry>>::refused({MountedVolumeRefusal::Target{
                  TargetVerification::Verdict{TargetVerification::Verdict::FingerprintMissing{"sdb"}}}}));
    disk = HelperDiskRef(test::usbStick());
    EXPECT_EQ(access.list(*VolumePath::parse("/none"), disk, test::sampleWireLayout()),
              DriveFileOutcome<std::vector<MountedEntry>>::failed({MountedFileFailure::NotFound{*VolumePath::parse("/none")}}));
}

TEST_F(MountedDriveFileAccessTest, DeletesWhatItCanAndReportsTheRest) {
    file("a.iso", 10);
    file("b.iso", 20);
    const auto a = *VolumePath::parse("/a.iso"), b = *VolumePath::parse("/b.iso"), gone = *VolumePath::parse("/gone.iso");
    const auto outcome = access.remove({a, gone, b}, disk, test::sampleWireLayout(), [] { return false; });
    ASSERT_TRUE(outcome.doneValue());
    EXPECT_EQ(outcome.doneValue()->deleted(), (std::vector<VolumePath>{a, b}));
    EXPECT_EQ(outcome.doneValue()->outcomes[1].failure, MountedFileFailure{MountedFileFailure::NotFound{gone}});
    EXPECT_EQ(outcome.doneValue()->removedBytes(), 30);
    EXPECT_TRUE(fs::is_empty(root));
}

}  // namespace
}  // namespace marlowick
