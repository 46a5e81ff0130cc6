#include "StandIns/UITestScenario.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "Home/UnavailableEngineRunner.hpp"
#include "StandIns/FakeEngineRunner.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;

UITestWorld::Context contextOf(HomeModelHarness& harness) {
    return UITestWorld::Context{harness.main.executor(), harness.catalog, std::make_shared<HelperCancelLatch>(),
                                harness.background.starter()};
}

// What the window does when it first shows: the scenario's operation, or a scan.
void appear(HomeViewModel& model) {
    if (model.uiTestAutoOperation()) {
        model.runUiTestAutoOperation();
    } else {
        model.refreshDisks();
    }
}

struct ScenarioCase {
    UITestScenario scenario;
    const char* landsIn;  // the state once everything has run
};

class UITestScenarioWorld : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(UITestScenarioWorld, LandsTheWindowInItsStateWithoutADrive) {
    const ScenarioCase& c = GetParam();
    HomeModelHarness harness;
    const auto model = UITestWorld::makeModel(c.scenario, contextOf(harness));
    appear(*model);
    harness.settle();
    EXPECT_EQ(render(model->state()), c.landsIn);
    EXPECT_FALSE(model->pendingOperation().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    EveryScenario, UITestScenarioWorld,
    ::testing::Values(
        ScenarioCase{UITestScenario::noDrive, "noDrive"},
        ScenarioCase{UITestScenario::prepare, "prepare(reason: \"blank, no Ventoy layout\")"},
        ScenarioCase{UITestScenario::ventoyReady,
                     "ventoyReady(partitionStyle: \"mbr\", installedVersion: \"1.1.10\", freeBytes: 22000000000, "
                     "totalBytes: 30000000000)"},
        ScenarioCase{UITestScenario::incompatible, "incompatible(reason: \"Foreign 32 MB EFI layout.\")"},
        // The scripted detail, "device detached", is a technical line: the window gets the sentence.
        ScenarioCase{UITestScenario::error,
                     "error(message: \"Marlowick couldn't open the drive, so nothing was changed. Check that it's still "
                     "plugged in, then try again.\")"},
        ScenarioCase{UITestScenario::picker, "noDrive"},
        ScenarioCase{UITestScenario::done,
                     "done(kind: prepare, outcome: succeeded(summary: \"USB ready\"))"}),
    [](const auto& info) { return std::string(rawValue(info.param.scenario)); });

TEST(UITestScenario, NamesMatchExactlyAndAnUnknownNameIsNoScenario) {
    for (const UITestScenario scenario : allUITestScenarios) {
        EXPECT_EQ(uiTestScenario(rawValue(scenario)), scenario) << rawValue(scenario);
    }
    for (const char* unknown : {"Picker", "VENTOYREADY", "picker ", "", "live"}) {
        EXPECT_EQ(uiTestScenario(unknown), std::nullopt) << unknown;
    }
}

TEST(UITestScenario, UnreadableDriveEndsUnreadableAndCanBePrepared) {
    HomeModelHarness harness;
    const auto model = UITestWorld::makeModel(UITestScenario::unreadable, contextOf(harness));
    appear(*model);
    harness.settle();
    ASSERT_TRUE(model->state().is<HomeDriveState::Unreadable>()) << render(model->state());
    EXPECT_TRUE(model->state().enabledDriveMenuCommands().contains(DriveMenuCommand::prepare));
}

TEST(UITestScenario, PickerOpensOverTheTwoFakeDisksAndAPickDetectsIt) {
    HomeModelHarness harness;
    const auto model = UITestWorld::makeModel(UITestScenario::picker, contextOf(harness));
    EXPECT_FALSE(model->disk().has_value());
    appear(*model);
    harness.settle();
    EXPECT_TRUE(model->isPickingDisk());
    ASSERT_EQ(model->availableDisks().size(), 2U);
    EXPECT_EQ(model->availableDisks()[0].name, "SanDisk Cruzer Blade");
    EXPECT_EQ(model->availableDisks()[1].geometry.capacityBytes, 32'010'928'128);

    model->selectDisk(model->availableDisks()[1]);
    harness.settle();
    EXPECT_FALSE(model->isPickingDisk());
    EXPECT_EQ(render(model->state()), "prepare(reason: \"blank, no Ventoy layout\")");
}

TEST(UITestScenario, VentoyReadyListsEveryImageOfItsVolumeAndCopiesThePickedFile) {
    HomeModelHarness harness;
    const auto model = UITestWorld::makeModel(UITestScenario::ventoyReady, contextOf(harness));
    appear(*model);
    harness.settle();
    ASSERT_TRUE(model->driveImages().has_value());
    std::vector<std::string> paths;
    for (const HelperImageEntry& image : *model->driveImages()) paths.push_back(image.path);
    // Walked from the root through the in-memory volume; ventoy.json is no image.
    const std::vector<std::string> expected{"/Fedora-Workstation-Live-40.iso", "/memtest86.iso",
                                            "/ubuntu-24.04.1-desktop-amd64.iso",
                                            "/linux/archlinux-2026.09.01-x86_64.iso"};
    EXPECT_EQ(paths, expected);
    EXPECT_TRUE(model->canBrowseDrive());
}

TEST(UITestScenario, RunningHoldsTheDownloadUntilCancelledAndQuitEndsItsWait) {
    HomeModelHarness harness;
    UITestWorld::Context context = contextOf(harness);
    const auto model = UITestWorld::makeModel(UITestScenario::running, context);
    ASSERT_EQ(model->uiTestAutoOperation(), HomeOperationKind::prepare);
    appear(*model);
    harness.main.runAll();
    ASSERT_TRUE(model->state().is<HomeDriveState::OperationRunning>()) << render(model->state());

    // The acquisition alone: it waits for a cancel or for the application to quit.
    const auto acquire = UITestWorld::slowAcquireAssets(harness.catalog, context.quitting);
    std::vector<VentoyAcquisitionPhase> phases;
    const auto record = [&phases](const VentoyAcquisitionPhase& phase) { phases.push_back(phase); };
    for (const bool byQuit : {false, true}) {
        SCOPED_TRACE(byQuit ? "quit" : "cancel");
        phases.clear();
        if (byQuit) context.quitting->cancel();
        const auto started = std::chrono::steady_clock::now();
        const VentoyAcquisitionResult result =
            acquire(std::nullopt, record, [byQuit] { return !byQuit; });
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        const auto* acquired = std::get_if<VentoyAcquisitionResult::Acquired>(&result.value);
        ASSERT_NE(acquired, nullptr);
        EXPECT_TRUE(acquired->set.files.empty());
        EXPECT_EQ(acquired->set.version, harness.catalog->recommended().version());
        const std::vector<VentoyAcquisitionPhase> expected{{VentoyAcquisitionPhase::CheckingCache{}},
                                                           {VentoyAcquisitionPhase::Downloading{0.45}}};
        EXPECT_EQ(phases, expected);
    }

    // The user cancels the running operation: the drive is as it was before.
    model->cancelOperation();
    harness.settle();
    EXPECT_TRUE(model->state().is<HomeDriveState::NoDrive>()) << render(model->state());
}

TEST(UITestScenario, FakeDownloadReportsItsPhasesAndTheCatalogRelease) {
    HomeModelHarness harness;
    std::vector<VentoyAcquisitionPhase> phases;
    const VentoyAcquisitionResult result = UITestWorld::fakeAcquireAssets(harness.catalog)(
        std::nullopt, [&phases](const VentoyAcquisitionPhase& phase) { phases.push_back(phase); }, {});
    const std::vector<VentoyAcquisitionPhase> expected{
        {VentoyAcquisitionPhase::CheckingCache{}}, {VentoyAcquisitionPhase::Downloading{0.5}},
        {VentoyAcquisitionPhase::Extracting{}}, {VentoyAcquisitionPhase::Ready{}}};
    EXPECT_EQ(phases, expected);
    const auto* acquired = std::get_if<VentoyAcquisitionResult::Acquired>(&result.value);
    ASSERT_NE(acquired, nullptr);
    EXPECT_EQ(acquired->set.version, harness.catalog->recommended().version());
    EXPECT_EQ(acquired->set.url(VentoyAsset::coreImg), "/tmp/marlowick-fake-assets/core.img");
}

HelperDiskRef someDisk() { return UITestWorld::fakeDisk(); }

std::vector<HelperCommand> everyCommand() {
    const HelperDiskRef disk = someDisk();
    const HelperVentoyLayout layout = UITestWorld::fakeLayout();
    return {{HelperCommand::Detect{disk}},
            {HelperCommand::Prepare{disk, {}, {}, std::nullopt}},
            {HelperCommand::Update{disk, {}}},
            {HelperCommand::RemoveVentoy{disk, {}}},
            {HelperCommand::AddImage{disk, layout, "a.iso", 4096, "/tmp/a.iso", true}},
            {HelperCommand::ListImages{disk, layout}},
            {HelperCommand::WriteRawImage{disk, "/tmp/a.img", true}}};
}

TEST(UnavailableEngineRunner, FailsEveryCommandAtOnceWithoutProgressOrCancelQueries) {
    UnavailableEngineRunner runner;
    for (const HelperCommand& command : everyCommand()) {
        SCOPED_TRACE(std::string(command.caseName()));
        int calls = 0;
        const HelperResult result = runner.run(
            command, [&calls](const HelperProgress&) { ++calls; }, [&calls] {
                ++calls;
                return false;
            });
        const HelperResult expected =
            HelperResult::failed(HelperCommandError::CouldNotOpenDevice{std::string(UnavailableEngineRunner::detail)});
        EXPECT_EQ(result, expected);
        EXPECT_EQ(calls, 0);
    }
}

TEST(UnavailableEngineRunner, EveryDetectionEndsWithItsMessageWhileScanningStillWorks) {
    HomeModelHarness harness;
    HomeViewModel::Arguments arguments;
    arguments.runner = std::make_shared<UnavailableEngineRunner>();
    arguments.catalog = harness.catalog;
    arguments.startBackground = harness.background.starter();
    int listings = 0;
    arguments.listDisks = [&listings] {
        ++listings;
        return std::vector<DiscoveredDisk>{testing::usbStick("sdc")};
    };
    const auto model = HomeViewModel::create(harness.main.executor(), std::move(arguments));
    model->refreshDisks();
    harness.settle();
    EXPECT_EQ(listings, 1);
    EXPECT_EQ(render(model->state()), "error(message: \"" + std::string(UnavailableEngineRunner::detail) + "\")");
}

TEST(FakeEngineRunner, ReplaysProgressThenAnswersEachCommandAsScripted) {
    const HelperResult detected{HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::NotVentoy{"blank"}}}};
    const HelperImageListing listing{HelperImageListing::Success{UITestWorld::scriptedImages()}};
    const std::vector<HelperProgress> progress{{HelperProgress::Stage::layout, 1, 4},
                                               {HelperProgress::Stage::layout, 4, 4}};
    FakeEngineRunner runner(detected, listing, progress);
    const HelperDiskRef disk = someDisk();

    int reports = 0;
    const auto count = [&reports](const HelperProgress&) { ++reports; };
    EXPECT_EQ(runner.run({HelperCommand::Detect{disk}}, count, [] { return false; }), detected);
    const HelperResult listed{HelperResult::ImageListing{listing}};
    EXPECT_EQ(runner.run({HelperCommand::ListImages{disk, UITestWorld::fakeLayout()}}, count, [] { return false; }),
              listed);
    EXPECT_EQ(reports, 0);

    const HelperResult added = runner.run(
        {HelperCommand::AddImage{disk, UITestWorld::fakeLayout(), "b.iso", 12'345, "/tmp/b.iso", false}}, count,
        [] { return true; });  // adding never asks
    const HelperResult addedExpected{HelperResult::AddImage{HelperAddImageOutcome{
        HelperAddImageOutcome::Success{HelperImageEntry("/b.iso", "b.iso", 12'345, false), 0, 12'345}}}};
    EXPECT_EQ(added, addedExpected);
    EXPECT_EQ(reports, 2);

    using Kind = HelperDriveOperationReport::Kind;
    const std::vector<std::pair<HelperCommand, Kind>> operations{
        {{HelperCommand::Prepare{disk, {}, {}, std::nullopt}}, Kind::prepare},
        {{HelperCommand::Update{disk, {}}}, Kind::update},
        {{HelperCommand::RemoveVentoy{disk, {}}}, Kind::removeVentoy},
        {{HelperCommand::WriteRawImage{disk, "/tmp/x.img", true}}, Kind::writeRawImage}};
    for (const auto& [command, kind] : operations) {
        for (const bool cancelled : {false, true}) {
            SCOPED_TRACE(std::string(command.caseName()) + (cancelled ? " cancelled" : ""));
            reports = 0;
            int queries = 0;
            const HelperResult result = runner.run(command, count, [&queries, cancelled] {
                ++queries;
                return cancelled;
            });
            const HelperResult expected{HelperResult::DriveOperation{
                HelperDriveOperationReport(kind, true, !cancelled, cancelled, {}, std::nullopt, std::nullopt)}};
            EXPECT_EQ(result, expected);
            EXPECT_EQ(reports, 2);
            EXPECT_EQ(queries, 1);
        }
    }
}

}  // namespace
}  // namespace marlowick
