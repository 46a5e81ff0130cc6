#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;
using Property = HomeViewModel::Property;

const HelperImageEntry isoEntry("/a.iso", "a.iso", 4096, false);
const HelperImageEntry folderEntry("/tools", "tools", 0, true);
const HelperImageEntry imgEntry("/tools/b.img", "b.img", 8192, false);

class HomeViewModelImages : public ::testing::Test {
protected:
    // The engine detects a Ventoy drive and lists `helperImages` on it.
    void SetUp() override {
        harness.runner->script([this](const HelperCommand& command, const HelperProgressHandler&,
                                      const HelperCancelCheck&) {
            if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return helperAnswer;
            return testing::detectedVentoy(layout);
        });
    }

    [[nodiscard]] int helperListings() const {
        int count = 0;
        for (const HelperCommand& command : harness.runner->commands()) {
            count += std::holds_alternative<HelperCommand::ListImages>(command.value) ? 1 : 0;
        }
        return count;
    }

    // A model on a detected Ventoy drive, the detection's own listing done.
    std::shared_ptr<HomeViewModel> readyModel(bool withFileAccess) {
        auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::NoDrive{}, withFileAccess);
        model->detect();
        harness.settle();
        return model;
    }

    const HelperVentoyLayout layout = testing::ventoyLayout();
    HelperResult helperAnswer = testing::imageListing({isoEntry, folderEntry, imgEntry});
    HomeModelHarness harness;
};

TEST_F(HomeViewModelImages, TheMountedVolumeAnswersFirstUnfiltered) {
    harness.mountedImages = std::vector<HelperImageEntry>{isoEntry, folderEntry};
    const auto model = readyModel(true);

    EXPECT_EQ(model->driveImages(), (std::vector<HelperImageEntry>{isoEntry, folderEntry}));
    EXPECT_EQ(helperListings(), 0);
    EXPECT_EQ(harness.announced(Property::helperListingsInFlight), 0);
    EXPECT_TRUE(model->canBrowseDrive());
}

TEST_F(HomeViewModelImages, TheHelperListsWhenTheVolumeIsRefusedAndFoldersAreLeftOut) {
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::NoDrive{}, true);
    model->detect();
    harness.background.runOne();  // detection
    harness.main.runAll();
    harness.background.runOne();  // file access: refused
    harness.main.runAll();
    EXPECT_EQ(model->helperListingsInFlight(), 1);
    harness.settle();

    EXPECT_EQ(model->helperListingsInFlight(), 0);
    EXPECT_EQ(harness.mountedListings, 1);
    EXPECT_EQ(helperListings(), 1);
    EXPECT_EQ(model->driveImages(), (std::vector<HelperImageEntry>{isoEntry, imgEntry}));
}

TEST_F(HomeViewModelImages, WithoutFileAccessTheHelperListsAndTheBrowserIsOff) {
    const auto model = readyModel(false);
    EXPECT_EQ(helperListings(), 1);
    EXPECT_EQ(model->driveImages(), (std::vector<HelperImageEntry>{isoEntry, imgEntry}));
    EXPECT_FALSE(model->canBrowseDrive());
    model->openDriveBrowser();
    EXPECT_EQ(model->browser(), nullptr);
}

TEST_F(HomeViewModelImages, AListingThatFailsLeavesTheImagesUnknown) {
    helperAnswer = {HelperResult::ImageListing{HelperImageListing{HelperImageListing::NotExfat{}}}};
    const auto model = readyModel(false);
    EXPECT_FALSE(model->driveImages().has_value());
    EXPECT_TRUE(model->state().is<HomeDriveState::VentoyReady>());
}

TEST_F(HomeViewModelImages, AListingThatEndsDuringAnOperationOnlyCountsDown) {
    const auto model = readyModel(false);
    model->refreshDriveImages();
    // The add-image run starts while the listing is still out.
    harness.imageToPick = harness.folder.path() / "c.iso";
    model->primaryAction();
    EXPECT_TRUE(model->state().is<HomeDriveState::OperationRunning>());
    EXPECT_EQ(std::get<HomeDriveState::OperationRunning>(model->state().value).progress.stageLabel,
              "Waiting for the drive to finish an earlier read…");
    const std::optional<std::vector<HelperImageEntry>> before = model->driveImages();
    harness.background.runOne();  // the listing ends
    harness.main.runAll();
    EXPECT_EQ(model->helperListingsInFlight(), 0);
    EXPECT_EQ(model->driveImages(), before);
}

TEST_F(HomeViewModelImages, OfTwoRefreshesOnlyTheSecondPublishes) {
    const auto model = readyModel(false);
    helperAnswer = testing::imageListing({imgEntry});
    harness.forget();
    model->refreshDriveImages();
    model->refreshDriveImages();
    harness.settle();
    EXPECT_EQ(model->driveImages(), (std::vector<HelperImageEntry>{imgEntry}));
    EXPECT_EQ(harness.announced(Property::driveImages), 1);
    EXPECT_EQ(harness.announced(Property::helperListingsInFlight), 4);  // two up, two down
}

TEST_F(HomeViewModelImages, RefreshOutsideAReadyDriveDoesNothing) {
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->refreshDriveImages();
    EXPECT_EQ(harness.background.pending(), 0U);
}

TEST_F(HomeViewModelImages, AListingOfADriveNoLongerSelectedIsDropped) {
    const auto model = readyModel(false);
    model->refreshDriveImages();
    // Another Ventoy drive is selected and detected before the listing of the first ends.
    helperAnswer = testing::imageListing({});
    model->selectDisk(usbStick("sdc", "SER2"));
    harness.background.runNewest();  // sdc's detection
    harness.main.runAll();
    harness.background.runOne();  // sdb's listing, late
    harness.main.runAll();
    EXPECT_FALSE(model->driveImages().has_value()) << "sdb's images were shown for sdc";
    harness.settle();
    EXPECT_EQ(model->driveImages(), std::vector<HelperImageEntry>{});
}

TEST_F(HomeViewModelImages, ClosingABrowserThatDeletedListsTheImagesAgain) {
    harness.mountedImages = std::vector<HelperImageEntry>{isoEntry};
    harness.files->addFile("/a.iso", 4096);
    harness.files->addFile("/b.iso", 4096);
    const auto model = readyModel(true);
    harness.forget();

    model->openDriveBrowser();
    const std::shared_ptr<DriveBrowserModel> browser = model->browser();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->driveName(), "sdb");
    EXPECT_EQ(browser->layout(), layout);
    harness.settle();
    EXPECT_EQ(harness.files->listed(), std::vector<VolumePath>{VolumePath::root}) << "opening lists the root at once";
    model->closeDriveBrowser();
    EXPECT_EQ(model->browser(), nullptr);
    EXPECT_EQ(harness.background.pending(), 0U) << "a browser that only browsed lists nothing";

    model->openDriveBrowser();
    harness.settle();
    model->browser()->setSelection({*VolumePath::parse("/a.iso")});
    model->browser()->requestDelete();
    model->browser()->confirmDelete();
    harness.settle();
    EXPECT_FALSE(harness.files->contains("/a.iso"));
    model->closeDriveBrowser();
    EXPECT_EQ(harness.background.pending(), 1U);
    harness.settle();
    EXPECT_EQ(harness.mountedListings, 2);
    EXPECT_EQ(harness.announced(Property::browser), 4);
}

// The user closes the browser while a delete of two files is between its paths: the delete
// stops there, and the images are listed again once it has ended, because one file went.
TEST_F(HomeViewModelImages, ClosingDuringADeleteStillListsTheImagesAgainWhenItEnds) {
    harness.mountedImages = std::vector<HelperImageEntry>{isoEntry};
    harness.files->addFile("/a.iso", 4096);
    harness.files->addFile("/b.iso", 4096);
    const auto model = readyModel(true);
    model->openDriveBrowser();
    harness.settle();
    const std::shared_ptr<DriveBrowserModel> browser = model->browser();
    browser->setSelection({*VolumePath::parse("/a.iso"), *VolumePath::parse("/b.iso")});
    browser->requestDelete();
    browser->confirmDelete();
    ASSERT_TRUE(browser->isDeleting());

    std::promise<void> firstGone;
    std::promise<void> closed;
    std::shared_future<void> closedSeen = closed.get_future().share();
    harness.files->afterEachDeletion([&firstGone, closedSeen](const VolumePath& path) {
        if (path == *VolumePath::parse("/a.iso")) {
            firstGone.set_value();
            closedSeen.wait();
        }
    });
    std::future<void> gone = firstGone.get_future();
    std::thread deleting([this] { harness.background.runOne(); });
    gone.wait();
    model->closeDriveBrowser();
    EXPECT_EQ(model->browser(), nullptr);
    EXPECT_EQ(harness.mountedListings, 1) << "nothing is known to have changed yet";
    closed.set_value();
    deleting.join();

    harness.settle();
    EXPECT_TRUE(harness.files->contains("/b.iso")) << "the delete went on after the browser closed";
    EXPECT_FALSE(harness.files->contains("/a.iso"));
    EXPECT_TRUE(browser->didChangeDrive());
    EXPECT_FALSE(browser->isDeleting());
    EXPECT_EQ(harness.mountedListings, 2) << "the drive's images were not listed again";
    EXPECT_EQ(harness.files->listings(), 1) << "a closed browser lists no folder";
}

TEST_F(HomeViewModelImages, TheBrowserStaysClosedWhileAConfirmationIsUp) {
    harness.mountedImages = std::vector<HelperImageEntry>{isoEntry};
    const auto model = readyModel(true);
    model->invokeDriveMenuCommand(DriveMenuCommand::update);
    ASSERT_EQ(model->pendingOperation(), HomeOperationKind::update);
    EXPECT_FALSE(model->canBrowseDrive());
    model->openDriveBrowser();
    EXPECT_EQ(model->browser(), nullptr);
}

}  // namespace
}  // namespace marlowick
