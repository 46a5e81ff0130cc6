#include <gtest/gtest.h>

#include "Diagnostics/LogSinks.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;

const HelperVentoyLayout readyLayout = testing::ventoyLayout();

struct PrimaryCase {
    const char* name;
    HomeDriveState state;
    std::optional<HomeOperationKind> pending;  // the sheet that opens, if any
    bool detects;
};

class HomeViewModelPrimaryAction : public ::testing::TestWithParam<PrimaryCase> {};

TEST_P(HomeViewModelPrimaryAction, StandsForTheStatesOperation) {
    const PrimaryCase& c = GetParam();
    HomeModelHarness harness;
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), c.state);

    model->primaryAction();

    EXPECT_EQ(model->pendingOperation(), c.pending);
    EXPECT_EQ(harness.background.pending(), c.detects ? 1U : 0U);
    if (c.detects) {
        EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Detecting{}));
    }
}

const HomeDriveState running = HomeDriveState::OperationRunning{HomeOperationKind::prepare,
                                                                HomeOperationProgress(0.5, "Writing…")};
const HomeDriveState finished =
    HomeDriveState::Done{HomeOperationKind::prepare, HomeOperationOutcome::succeeded("USB ready")};

INSTANTIATE_TEST_SUITE_P(
    States, HomeViewModelPrimaryAction,
    ::testing::Values(
        PrimaryCase{"prepare", HomeDriveState::Prepare{"blank"}, HomeOperationKind::prepare, false},
        PrimaryCase{"incompatible", HomeDriveState::Incompatible{"odd"}, HomeOperationKind::reinstall, false},
        PrimaryCase{"unreadable", HomeDriveState::Unreadable{"bad"}, HomeOperationKind::prepare, false},
        PrimaryCase{"error", HomeDriveState::Error{"no helper"}, std::nullopt, true},
        PrimaryCase{"done", finished, std::nullopt, true},
        PrimaryCase{"operationRunning", running, std::nullopt, false},
        PrimaryCase{"noDrive", HomeDriveState::NoDrive{}, std::nullopt, false},
        PrimaryCase{"detecting", HomeDriveState::Detecting{}, std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.name); });

class HomeViewModelRequests : public ::testing::Test {
protected:
    void SetUp() override { MarlowickLog::setSink(log); }
    void TearDown() override { MarlowickLog::setSink(nullptr); }

    // A model whose drive came from a scan of `listed`, detected as not Ventoy.
    std::shared_ptr<HomeViewModel> scannedModel(const DiscoveredDisk& stick) {
        harness.disks = {stick};
        harness.runner->answer(testing::detectedNotVentoy());
        auto model = harness.make();
        model->refreshDisks();
        harness.settle();
        return model;
    }

    [[nodiscard]] bool logged(const std::string& message) const {
        for (const MarlowickLog::Record& record : log->records()) {
            if (record.message == message) return true;
        }
        return false;
    }

    const std::shared_ptr<MarlowickLog::MemorySink> log = std::make_shared<MarlowickLog::MemorySink>();
    HomeModelHarness harness;
};

TEST_F(HomeViewModelRequests, ASecondRequestWhileASheetIsUpIsIgnored) {
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->primaryAction();
    model->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    EXPECT_EQ(model->pendingOperation(), HomeOperationKind::prepare);
    EXPECT_EQ(harness.rawImagePicks, 0);
    EXPECT_TRUE(logged("Prepare requested for sdb"));
}

TEST_F(HomeViewModelRequests, UpdateKeepsTheAdvancedOptionsTheOthersResetThem) {
    const auto model =
        harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::VentoyReady{readyLayout, "1.1.16", std::nullopt});
    AdvancedInstallOptions edited = model->advancedOptions();
    edited.volumeLabel = "MINE";
    edited.partitionStyle = PartitionStyle::gpt;

    model->setAdvancedOptions(edited);
    model->invokeDriveMenuCommand(DriveMenuCommand::update);
    EXPECT_EQ(model->advancedOptions(), edited);
    model->setPendingOperation(std::nullopt);

    model->invokeDriveMenuCommand(DriveMenuCommand::removeVentoy);
    EXPECT_EQ(model->pendingOperation(), HomeOperationKind::removeVentoy);
    EXPECT_EQ(model->advancedOptions(), AdvancedInstallOptions(*harness.catalog->catalog()));
}

TEST_F(HomeViewModelRequests, TheDriveMenuActsOnlyOnEnabledCommands) {
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::NoDrive{});
    model->invokeDriveMenuCommand(DriveMenuCommand::update);
    model->invokeDriveMenuCommand(DriveMenuCommand::eject);
    EXPECT_FALSE(model->pendingOperation().has_value());
    EXPECT_TRUE(harness.ejected.empty());

    const auto ready =
        harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::VentoyReady{readyLayout, "1.1.16", std::nullopt});
    ready->invokeDriveMenuCommand(DriveMenuCommand::prepare);  // not offered for a ready drive
    EXPECT_FALSE(ready->pendingOperation().has_value());
    ready->invokeDriveMenuCommand(DriveMenuCommand::eject);
    EXPECT_EQ(harness.ejected.size(), 1U);
}

TEST_F(HomeViewModelRequests, ConfirmingForAnUnpluggedDriveRefusesAndDropsTheSelection) {
    const auto model = scannedModel(usbStick("sdb"));
    model->primaryAction();
    harness.disks = {};  // unplugged meanwhile
    model->confirmPendingOperation();

    EXPECT_EQ(model->state(),
              HomeDriveState(HomeDriveState::Done{
                  HomeOperationKind::prepare,
                  HomeOperationOutcome::failed("The drive you selected isn't connected any more, so Marlowick "
                                               "stopped before writing anything. Plug it back in and choose it "
                                               "again.")}));
    EXPECT_FALSE(model->disk().has_value());
    EXPECT_FALSE(model->pendingOperation().has_value());
    EXPECT_TRUE(model->availableDisks().empty());
    ASSERT_TRUE(model->lastDiagnostics().has_value());
    EXPECT_EQ(model->lastDiagnostics()->outcome, "refused");
    EXPECT_EQ(model->lastDiagnostics()->operation, "Prepare");
    ASSERT_TRUE(model->lastDiagnostics()->drive.has_value());
    EXPECT_EQ(model->lastDiagnostics()->drive->bsdName, "sdb");
    EXPECT_EQ(model->lastDiagnostics()->details, std::vector<std::string>{"sdb is no longer attached"});
    EXPECT_TRUE(logged("refused sdb: sdb is no longer attached \u2014 nothing was opened or written"));
    EXPECT_EQ(harness.background.pending(), 0U);
}

TEST_F(HomeViewModelRequests, ConfirmingForAnotherDriveAtTheSamePlaceRefuses) {
    const auto model = scannedModel(usbStick("sdb", "SER1"));
    model->primaryAction();
    harness.disks = {usbStick("sdb", "SER2")};
    model->confirmPendingOperation();

    const auto* done = std::get_if<HomeDriveState::Done>(&model->state().value);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->outcome.text(),
              userMessage(TargetVerification::Verdict{
                  TargetVerification::Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}));
    EXPECT_EQ(model->availableDisks(), harness.disks);
}

TEST_F(HomeViewModelRequests, AnInjectedDriveIsNotVerified) {
    harness.acquire = [this](const std::optional<std::string>& version, const VentoyAssetAcquirer::PhaseCallback&,
                             const std::function<bool()>&) {
        return testing::acquiredAssets(version.value_or("?"), harness.folder.path());
    };
    harness.runner->answer(testing::operationSucceeded(HelperDriveOperationReport::Kind::prepare));
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->primaryAction();
    model->confirmPendingOperation();
    harness.settle();
    EXPECT_EQ(harness.diskListings, 0);
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Done{HomeOperationKind::prepare,
                                                                 HomeOperationOutcome::succeeded("USB ready")}));
}

TEST_F(HomeViewModelRequests, CancelWithNothingSavedStillStopsTheRun) {
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->cancelOperation();
    EXPECT_TRUE(model->isOperationCancelRequested());
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Prepare{"blank"}));
}

TEST_F(HomeViewModelRequests, AddImageOutsideAReadyDriveShowsNoPicker) {
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::Prepare{"blank"});
    model->addAnother();
    harness.runner->answer(testing::detectedNotVentoy());
    harness.settle();
    EXPECT_EQ(harness.imagePicks, 0);
}

TEST_F(HomeViewModelRequests, AddAnotherDetectsThenPicksAnImage) {
    harness.runner->script([](const HelperCommand& command, const HelperProgressHandler&, const HelperCancelCheck&) {
        if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing({});
        return testing::detectedVentoy(readyLayout);
    });
    const auto model = harness.make(
        HelperDiskRef(usbStick("sdb")),
        HomeDriveState::Done{HomeOperationKind::addImage, HomeOperationOutcome::succeeded("Added a.iso")});
    model->addAnother();
    harness.settle();
    EXPECT_EQ(harness.imagePicks, 1);  // the user picked nothing
    EXPECT_TRUE(model->state().is<HomeDriveState::VentoyReady>());
}

TEST_F(HomeViewModelRequests, AnImageWhoseSizeCannotBeReadLogsMinusOne) {
    harness.imageToPick = harness.folder.path() / "missing.iso";
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model =
        harness.make(HelperDiskRef(usbStick("sdb")), HomeDriveState::VentoyReady{readyLayout, "1.1.17", std::nullopt});
    model->primaryAction();
    EXPECT_TRUE(logged("image selected <private>, -1 bytes"));
    harness.background.runOne();
    const std::vector<HelperCommand> commands = harness.runner->commands();
    ASSERT_EQ(commands.size(), 1U);
    const auto* add = std::get_if<HelperCommand::AddImage>(&commands.front().value);
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->sizeBytes, 0);
    EXPECT_EQ(add->name, "missing.iso");
    EXPECT_TRUE(add->verifyContentHash);
}

}  // namespace
}  // namespace marlowick
