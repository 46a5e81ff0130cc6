// The drive browser's model over the live drive file access. First over a folder standing in
// for the mounted volume, with symbolic links planted in it (an exFAT volume cannot hold
// one): they are listed where they stand and refused when opened or deleted. Then over a
// real exFAT partition on a loop device (root only), found, mounted with mount(8) and
// re-identified through sysfs for every call: folders walked in the order a file manager
// shows, files and an empty folder deleted, a closed browser stopping its delete between
// two paths, and fsck.exfat finding the volume clean afterwards.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedDriveFileAccess.hpp"
#include "Files/PartitionedLoop.hpp"
#include "Files/ScriptedVolumeProbe.hpp"
#include "Block/FakeProbes.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "Home/DriveBrowserModel.hpp"
#include "Support/ManualBackground.hpp"
#include "Support/ManualExecutor.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Listing = DriveBrowserModel::Listing;

VolumePath at(const std::string& text) { return *VolumePath::parse(text); }

std::vector<std::string> shown(const DriveBrowserModel& model) {
    std::vector<std::string> names;
    if (const auto* entries = model.listing().entries()) {
        for (const MountedEntry& entry : *entries) names.push_back(entry.name() + (entry.isDirectory ? "/" : ""));
    }
    return names;
}

// Passes every call on; a deletion's cancel query, asked for the second time (between its
// first and second path), waits until the test lets it go on.
class PausingFileAccess final : public DriveFileAccess {
public:
    explicit PausingFileAccess(std::shared_ptr<DriveFileAccess> wrapped) : inner(std::move(wrapped)) {}

    DriveFileOutcome<std::vector<MountedEntry>> list(const VolumePath& path, const HelperDiskRef& disk,
                                                     const HelperVentoyLayout& layout) override {
        return inner->list(path, disk, layout);
    }
    DriveFileOutcome<MountedDeleteReport> remove(const std::vector<VolumePath>& paths, const HelperDiskRef& disk,
                                                 const HelperVentoyLayout& layout,
                                                 const DriveFileCancelCheck& isCancelled) override {
        int asked = 0;
        return inner->remove(paths, disk, layout, [&] {
            if (++asked == 2) {
                paused.set_value();
                resumed.wait();
            }
            return isCancelled();
        });
    }

    std::promise<void> paused;
    std::shared_future<void> resumed;

private:
    std::shared_ptr<DriveFileAccess> inner;
};

class DriveBrowserModelOnFiles : public ::testing::Test {
protected:
    std::shared_ptr<DriveBrowserModel> make(std::shared_ptr<DriveFileAccess> access, const HelperDiskRef& disk,
                                            const HelperVentoyLayout& layout) {
        return DriveBrowserModel::create(std::move(access), disk, layout, "Stick", main.executor(),
                                         background.starter());
    }
    void settle() {
        while (background.runAll() + main.runAll() > 0) {
        }
    }

    testing::ManualExecutor main;
    testing::ManualBackground background;
};

TEST_F(DriveBrowserModelOnFiles, PlantedLinksAreListedButNeverFollowedOrDeleted) {
    test::TempDir dir;
    const fs::path root = dir.file("VENTOY");
    const fs::path outside = dir.file("outside");
    fs::create_directories(root / "iso");
    fs::create_directories(outside);
    test::writeFile(outside / "secret.iso", {7, 7, 7});
    test::writeFile(root / "iso" / "a.iso", {1});
    fs::create_directory_symlink(outside, root / "escape");
    fs::create_symlink(outside / "secret.iso", root / "secret.iso");
    auto volumes = std::make_shared<test::ScriptedVolumeProbe>();
    volumes->beforeMount = {test::dataPartitionInfo(root)};
    volumes->nodes[root] = "/dev/sdb1";
    auto access = std::make_shared<MountedDriveFileAccess>(
        std::make_shared<test::FakeDeviceProbe>(std::vector<DiscoveredDisk>{test::usbStick()}), volumes);
    const auto model = make(access, HelperDiskRef(test::usbStick()), test::sampleWireLayout());

    model->reload();
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"escape", "iso/", "secret.iso"}));
    model->activate(at("/escape"));
    EXPECT_EQ(model->directory(), VolumePath::root) << "a link to a folder opened as a folder";

    model->setSelection({at("/secret.iso"), at("/escape")});
    model->requestDelete();
    model->confirmDelete();
    settle();
    EXPECT_EQ(model->deleteNotice(), "“escape” wasn't deleted: it's a link, which Marlowick won't follow.\n"
                                     "“secret.iso” wasn't deleted: it's a link, which Marlowick won't follow.");
    EXPECT_FALSE(model->didChangeDrive());
    EXPECT_EQ(test::readFile(outside / "secret.iso"), (std::vector<std::uint8_t>{7, 7, 7}));

    model->goTo(at("/escape"));
    settle();
    EXPECT_EQ(model->listing(), (Listing{Listing::Unavailable{"This folder holds a link, which a Ventoy drive "
                                                              "shouldn't have, so Marlowick won't follow it."}}));
}

class DriveBrowserModelOnExfat : public DriveBrowserModelOnFiles {
protected:
    static constexpr std::int64_t partitionSectors = 131072;  // 64 MiB

    void SetUp() override {
        std::string whyNot;
        loop = test::PartitionedLoop::create("exfat", partitionSectors, whyNot);
        if (!loop) GTEST_SKIP() << whyNot;
        const std::optional<DiscoveredDisk> described = SysfsDeviceProbe().probe(loop->diskName());
        if (!described) GTEST_SKIP() << "the system does not describe " << loop->diskName();
        disk = HelperDiskRef(*described);
        layout = HelperVentoyLayout(disk.sectorCount, 512, test::PartitionedLoop::partitionStartSector,
                                    partitionSectors, 0, 0, "mbr", 0);
        volumes = std::make_shared<MountCommandVolumeProbe>(std::chrono::seconds(30), mounts.path().string());
        access = std::make_shared<MountedDriveFileAccess>(std::make_shared<SysfsDeviceProbe>(), volumes);
    }
    void TearDown() override {
        if (loop) loop->unmountAll();
    }

    // Where the access mounted the data partition.
    std::optional<fs::path> mountPoint() const {
        for (const PartitionVolumeInfo& partition : volumes->partitions(loop->diskName())) {
            if (partition.mountPoint) return partition.mountPoint;
        }
        return std::nullopt;
    }

    std::unique_ptr<test::PartitionedLoop> loop;
    test::TempDir mounts;
    HelperDiskRef disk;
    HelperVentoyLayout layout;
    std::shared_ptr<MountCommandVolumeProbe> volumes;
    std::shared_ptr<MountedDriveFileAccess> access;
};

TEST_F(DriveBrowserModelOnExfat, BrowsesAndDeletesFilesAndAnEmptyFolder) {
    const auto model = make(access, disk, layout);
    model->reload();
    settle();
    ASSERT_EQ(model->listing(), Listing{Listing::Loaded{}}) << "a fresh volume, mounted by the first listing";
    const std::optional<fs::path> root = mountPoint();
    ASSERT_TRUE(root);
    for (const char* name : {"b10.iso", "b9.iso", "A.txt", "iso/linux.iso", "iso/keep.img"}) {
        fs::create_directories((*root / name).parent_path());
        test::writeFile(*root / name, std::vector<std::uint8_t>(1000, 1));
    }
    fs::create_directories(*root / "old");

    model->reload();
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"A.txt", "b9.iso", "b10.iso", "iso/", "old/"}));
    model->activate(at("/iso"));
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"keep.img", "linux.iso"}));
    ASSERT_EQ(model->breadcrumbs().size(), 2U);
    EXPECT_EQ(model->breadcrumbs()[1], (DriveBrowserModel::Breadcrumb{"iso", at("/iso")}));

    model->setSelection({at("/iso/linux.iso")});
    model->requestDelete();
    ASSERT_EQ(model->pendingDelete()->message, "It will be removed from the drive, freeing 1 KB. This can't be undone.");
    model->confirmDelete();
    settle();
    EXPECT_EQ(model->deleteNotice(), std::nullopt);
    EXPECT_TRUE(model->didChangeDrive());
    EXPECT_FALSE(fs::exists(*root / "iso" / "linux.iso"));
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"keep.img"}));

    // Folders go only when empty; the window never asks for one, so the question is set here.
    model->goTo(VolumePath::root);
    settle();
    const std::vector<MountedEntry> entries = *model->listing().entries();
    model->setPendingDelete(DriveBrowserModel::confirmation({entries[3], entries[4]}));
    model->confirmDelete();
    settle();
    EXPECT_EQ(model->deleteNotice(), "1 file was deleted.\n“iso” wasn't deleted: the folder isn't empty.");
    EXPECT_FALSE(fs::exists(*root / "old"));
    EXPECT_TRUE(fs::exists(*root / "iso" / "keep.img"));
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"A.txt", "b9.iso", "b10.iso", "iso/"}));

    loop->unmountAll();
    const test::CommandOutput checked = test::runCommand("fsck.exfat -n " + loop->partitionNode());
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
}

TEST_F(DriveBrowserModelOnExfat, ClosingBetweenTwoPathsLeavesTheRestOnTheDrive) {
    auto pausing = std::make_shared<PausingFileAccess>(access);
    std::promise<void> resume;
    pausing->resumed = resume.get_future().share();
    const auto model = make(pausing, disk, layout);
    model->reload();
    settle();
    const std::optional<fs::path> root = mountPoint();
    ASSERT_TRUE(root);
    for (const char* name : {"a.iso", "b.iso", "c.iso"}) test::writeFile(*root / name, {1, 2, 3});
    model->reload();
    settle();

    model->setSelection({at("/a.iso"), at("/b.iso"), at("/c.iso")});
    model->requestDelete();
    model->confirmDelete();
    std::thread deleting([this] { background.runOne(); });
    pausing->paused.get_future().wait();
    bool told = false;
    model->close([&told] { told = true; });
    resume.set_value();
    deleting.join();
    main.runAll();

    EXPECT_TRUE(told);
    EXPECT_TRUE(model->didChangeDrive());
    EXPECT_EQ(model->deleteNotice(), "1 file was deleted.\nThe rest were left on the drive.");
    EXPECT_FALSE(fs::exists(*root / "a.iso"));
    EXPECT_TRUE(fs::exists(*root / "b.iso"));
    EXPECT_TRUE(fs::exists(*root / "c.iso"));
    EXPECT_EQ(background.pending(), 0U) << "a closed browser lists no folder";
}

}  // namespace
}  // namespace marlowick
