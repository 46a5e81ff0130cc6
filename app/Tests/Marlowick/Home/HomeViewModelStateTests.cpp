#include <gtest/gtest.h>

#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using Property = HomeViewModel::Property;

TEST(HomeViewModelState, AFreshModelHoldsItsArgumentsAndNothingElse) {
    HomeModelHarness harness;
    const HelperDiskRef disk(testing::usbStick("sdb"));
    const auto model = harness.make(disk, HomeDriveState::Prepare{"blank"});

    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Prepare{"blank"}));
    EXPECT_EQ(model->disk(), disk);
    EXPECT_FALSE(model->driveImages().has_value());
    EXPECT_FALSE(model->pendingOperation().has_value());
    EXPECT_EQ(model->browser(), nullptr);
    EXPECT_FALSE(model->isOperationCancelRequested());
    EXPECT_FALSE(model->isOperationInFlight());
    EXPECT_EQ(model->helperListingsInFlight(), 0);
    EXPECT_EQ(model->advancedOptions(), AdvancedInstallOptions(*harness.catalog->catalog()));
    // Nothing was listed, scanned or started.
    EXPECT_EQ(harness.diskListings, 0);
    EXPECT_EQ(harness.background.pending(), 0U);
    EXPECT_EQ(harness.main.pending(), 0U);
}

TEST(HomeViewModelState, AnAssignmentIsAnnouncedOnlyWhenTheValueChanges) {
    HomeModelHarness harness;
    const auto model = harness.make();

    model->setIsPickingDisk(false);
    model->setPendingOperation(std::nullopt);
    EXPECT_TRUE(harness.changes.empty());

    model->setIsPickingDisk(true);
    model->setIsPickingDisk(true);
    EXPECT_EQ(harness.announced(Property::isPickingDisk), 1);

    // The browser is announced on every assignment, even of the same value.
    model->setBrowser(nullptr);
    model->setBrowser(nullptr);
    EXPECT_EQ(harness.announced(Property::browser), 2);
}

TEST(HomeViewModelState, TheStateIsAnnouncedOnceWhenItChanges) {
    HomeModelHarness harness;
    harness.disks = {};
    const auto model = harness.make();

    model->refreshDisks();  // no drive: noDrive again
    EXPECT_EQ(harness.announced(Property::state), 0);
    model->ejectDrive();
    EXPECT_EQ(harness.announced(Property::state), 0);
}

TEST(HomeViewModelState, DeviceNameFallsBackToTheDeviceThenToAPhrase) {
    HomeModelHarness harness;
    EXPECT_EQ(harness.make()->deviceName(), "the drive");
    HelperDiskRef disk(testing::usbStick("sdb"));
    EXPECT_EQ(harness.make(disk)->deviceName(), "sdb");

    harness.disks = {testing::usbStick("sdc", "SER9", "")};
    const auto model = harness.make();
    model->refreshDisks();
    EXPECT_EQ(model->selectedDiskName(), "");
    EXPECT_EQ(model->deviceName(), "sdc");

    harness.disks = {testing::usbStick("sdc", "SER9", "Kingfisher 16 GB")};
    model->selectDisk(harness.disks.front());
    EXPECT_EQ(model->deviceName(), "Kingfisher 16 GB");
}

TEST(HomeViewModelState, WithoutAnAcquisitionEveryBootFileDownloadFails) {
    HomeModelHarness harness;  // acquire left unset: the model's own default
    harness.disks = {testing::usbStick("sdb")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();
    model->refreshDisks();
    harness.settle();

    model->primaryAction();
    model->confirmPendingOperation();
    harness.settle();

    EXPECT_EQ(model->state(),
              HomeDriveState(HomeDriveState::Done{
                  HomeOperationKind::prepare,
                  HomeOperationOutcome::failed(
                      "Couldn't download the Ventoy boot files. Check your internet connection and try again.")}));
    ASSERT_TRUE(model->lastDiagnostics().has_value());
    EXPECT_EQ(model->lastDiagnostics()->details,
              std::vector<std::string>{"asset acquisition failed: download \u2014 " +
                                       std::string(HomeViewModel::unwiredAcquisitionDetail)});
    // Only the detection reached the engine.
    EXPECT_EQ(harness.runner->commands().size(), 1U);
}

}  // namespace
}  // namespace marlowick
