#include <gtest/gtest.h>

#include <fstream>

#include "Diagnostics/LogSinks.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;
using Kind = HomeOperationKind;

const HelperVentoyLayout readyLayout = testing::ventoyLayout();
const HomeDriveState readyState = HomeDriveState::VentoyReady{readyLayout, "1.1.16", std::nullopt};

// The commands of one kind the engine received.
template <class Command>
std::vector<Command> sent(const testing::ScriptedEngineRunner& runner) {
    std::vector<Command> found;
    for (const HelperCommand& command : runner.commands()) {
        if (const auto* match = std::get_if<Command>(&command.value)) found.push_back(*match);
    }
    return found;
}

class HomeViewModelRun : public ::testing::Test {
protected:
    void SetUp() override {
        MarlowickLog::setSink(log);
        harness.acquire = [this](const std::optional<std::string>& version,
                                 const VentoyAssetAcquirer::PhaseCallback& onPhase, const std::function<bool()>&) {
            askedVersions.push_back(version);
            onPhase({VentoyAcquisitionPhase::CheckingCache{}});
            onPhase({VentoyAcquisitionPhase::Downloading{0.5}});
            onPhase({VentoyAcquisitionPhase::Ready{}});
            return acquisition.value_or(testing::acquiredAssets(version.value_or("1.1.16"), harness.folder.path()));
        };
        harness.runner->script([this](const HelperCommand& command, const HelperProgressHandler& onProgress,
                                      const HelperCancelCheck&) {
            if (std::holds_alternative<HelperCommand::Detect>(command.value)) return detectAnswer;
            if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing({});
            for (const HelperProgress& report : reports) onProgress(report);
            return engineAnswer;
        });
    }
    void TearDown() override { MarlowickLog::setSink(nullptr); }

    std::shared_ptr<HomeViewModel> model(HomeDriveState state) {
        return harness.make(HelperDiskRef(usbStick("sdb")), std::move(state));
    }

    // A picked image file of `bytes` bytes.
    std::filesystem::path image(const std::string& name, std::size_t bytes) {
        const std::filesystem::path path = harness.folder.path() / name;
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
        return path;
    }

    [[nodiscard]] bool logged(const std::string& message) const {
        for (const MarlowickLog::Record& record : log->records()) {
            if (record.message == message) return true;
        }
        return false;
    }

    const std::shared_ptr<MarlowickLog::MemorySink> log = std::make_shared<MarlowickLog::MemorySink>();
    HomeModelHarness harness;
    std::vector<std::optional<std::string>> askedVersions;
    std::optional<VentoyAcquisitionResult> acquisition;
    std::vector<HelperProgress> reports;
    HelperResult detectAnswer = testing::detectedNotVentoy();
    HelperResult engineAnswer = testing::operationSucceeded(HelperDriveOperationReport::Kind::prepare);
};

TEST_F(HomeViewModelRun, APrepareRunsFromTheBootFilesToUsbReady) {
    reports = {HelperProgress(HelperProgress::Stage::layout, {}, {}),
               HelperProgress(HelperProgress::Stage::formatPart1, 10, 100),
               HelperProgress(HelperProgress::Stage::formatPart1, 100, 100),
               HelperProgress(HelperProgress::Stage::verifyMbr, {}, {})};
    const auto home = model(HomeDriveState::Prepare{"blank"});
    home->primaryAction();
    AdvancedInstallOptions options = home->advancedOptions();
    options.volumeLabel = "  STICK ";
    home->setAdvancedOptions(options);
    home->confirmPendingOperation();
    harness.settle();

    EXPECT_EQ(home->state(),
              HomeDriveState(HomeDriveState::Done{Kind::prepare, HomeOperationOutcome::succeeded("USB ready")}));
    EXPECT_FALSE(home->isOperationInFlight());
    EXPECT_EQ(home->stateBeforeOperation(), HomeDriveState(HomeDriveState::Prepare{"blank"}));
    EXPECT_EQ(askedVersions, std::vector<std::optional<std::string>>{options.selectedVentoyVersion});

    // The bar only moves forward, from 0.02 through the boot files to the helper's stages.
    std::vector<double> fractions;
    for (const HomeDriveState& state : harness.states) {
        if (const auto* running = std::get_if<HomeDriveState::OperationRunning>(&state.value)) {
            fractions.push_back(running->progress.fraction);
        }
    }
    ASSERT_FALSE(fractions.empty());
    EXPECT_DOUBLE_EQ(fractions.front(), 0.02);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end())) << ::testing::PrintToString(fractions);
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0);

    const auto prepares = sent<HelperCommand::Prepare>(*harness.runner);
    ASSERT_EQ(prepares.size(), 1U);
    EXPECT_EQ(prepares.front().disk, HelperDiskRef(usbStick("sdb")));
    EXPECT_EQ(prepares.front().assets.version, options.selectedVentoyVersion);
    EXPECT_EQ(prepares.front().assets.bootImgPath, (harness.folder.path() / "boot.img").string());
    EXPECT_FALSE(prepares.front().assets.registry.has_value());
    EXPECT_EQ(prepares.front().options, options.helperInstallOptions(*harness.catalog->catalog()));
    EXPECT_EQ(prepares.front().options.volumeLabel, "STICK");
    EXPECT_FALSE(prepares.front().diskSignature.has_value());

    ASSERT_TRUE(home->lastDiagnostics().has_value());
    EXPECT_EQ(home->lastDiagnostics()->operation, "Prepare");
    EXPECT_EQ(home->lastDiagnostics()->outcome, "succeeded");
    EXPECT_TRUE(logged("Prepare succeeded"));
}

TEST_F(HomeViewModelRun, AnUpdateAsksForTheRecommendedRelease) {
    engineAnswer = testing::operationSucceeded(HelperDriveOperationReport::Kind::update);
    const auto home = model(readyState);
    home->invokeDriveMenuCommand(DriveMenuCommand::update);
    home->confirmPendingOperation();
    harness.settle();
    EXPECT_EQ(askedVersions, std::vector<std::optional<std::string>>{std::nullopt});
    EXPECT_EQ(sent<HelperCommand::Update>(*harness.runner).size(), 1U);
    EXPECT_EQ(home->state(),
              HomeDriveState(HomeDriveState::Done{Kind::update, HomeOperationOutcome::succeeded("USB ready")}));
}

struct AcquisitionFailureCase {
    const char* name;
    VentoyAcquisitionReason reason;
    const char* reasonText;
    const char* message;
};

class HomeViewModelAcquisitionFailure : public HomeViewModelRun,
                                        public ::testing::WithParamInterface<AcquisitionFailureCase> {};

TEST_P(HomeViewModelAcquisitionFailure, EndsTheRunBeforeTheDriveIsTouched) {
    const AcquisitionFailureCase& c = GetParam();
    acquisition = VentoyAcquisitionResult{VentoyAcquisitionResult::Failure{c.reason, "the detail"}};
    const auto home = model(HomeDriveState::Prepare{"blank"});
    home->primaryAction();
    home->confirmPendingOperation();
    harness.settle();

    EXPECT_EQ(home->state(),
              HomeDriveState(HomeDriveState::Done{Kind::prepare, HomeOperationOutcome::failed(c.message)}));
    EXPECT_TRUE(harness.runner->commands().empty());
    ASSERT_TRUE(home->lastDiagnostics().has_value());
    EXPECT_EQ(home->lastDiagnostics()->operation, "Prepare");
    EXPECT_EQ(home->lastDiagnostics()->outcome, "failed");
    EXPECT_EQ(home->lastDiagnostics()->details,
              std::vector<std::string>{std::string("asset acquisition failed: ") + c.reasonText + " \u2014 the detail"});
    EXPECT_TRUE(logged(std::string("assets failed: ") + c.reasonText + " \u2014 <private>"));
    EXPECT_FALSE(home->isOperationInFlight());
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, HomeViewModelAcquisitionFailure,
    ::testing::Values(
        AcquisitionFailureCase{"download", {VentoyAcquisitionReason::Download{}}, "download",
                               "Couldn't download the Ventoy boot files. Check your internet connection and try again."},
        AcquisitionFailureCase{"extraction",
                               {VentoyAcquisitionReason::Extraction{VentoyExtractionReason::hashMismatch}},
                               "extraction(hashMismatch)", "The Ventoy boot files couldn't be verified. Please try again."},
        AcquisitionFailureCase{"cache", {VentoyAcquisitionReason::Cache{VentoyCacheReason::io}}, "cache(io)",
                               "The Ventoy boot files couldn't be verified. Please try again."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HomeViewModelRun, WithoutADriveNothingStarts) {
    const auto home = harness.make(std::nullopt, HomeDriveState::NoDrive{});
    home->setUiTestAutoOperation(Kind::removeVentoy);
    home->runUiTestAutoOperation();
    EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Done{Kind::removeVentoy,
                                                                 HomeOperationOutcome::failed("No drive connected.")}));
    EXPECT_FALSE(home->stateBeforeOperation().has_value());
    EXPECT_FALSE(home->isOperationInFlight());
    EXPECT_EQ(harness.background.pending(), 0U);
}

TEST_F(HomeViewModelRun, CancelDuringTheAcquisitionDropsWhateverItBrings) {
    const auto home = model(HomeDriveState::Prepare{"blank"});
    home->primaryAction();
    home->confirmPendingOperation();
    ASSERT_TRUE(home->state().is<HomeDriveState::OperationRunning>());
    home->cancelOperation();
    EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Prepare{"blank"}));
    EXPECT_TRUE(home->isOperationCancelRequested());

    harness.settle();  // the acquisition returns its boot files, and late phases arrive
    EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Prepare{"blank"}));
    EXPECT_TRUE(harness.runner->commands().empty());
    EXPECT_FALSE(home->lastDiagnostics().has_value());
}

TEST_F(HomeViewModelRun, ACancelledWriteLooksAtTheDriveAgainWhenTheHelperAnswers) {
    engineAnswer = HelperResult{HelperResult::DriveOperation{HelperDriveOperationReport(
        HelperDriveOperationReport::Kind::removeVentoy, true, false, true, {}, std::nullopt, std::nullopt)}};
    detectAnswer = testing::detectedNotVentoy("half wiped");
    const auto home = model(readyState);
    home->invokeDriveMenuCommand(DriveMenuCommand::removeVentoy);
    home->confirmPendingOperation();
    ASSERT_EQ(harness.background.pending(), 1U);  // the engine call
    home->cancelOperation();
    EXPECT_EQ(home->state(), readyState);

    harness.settle();
    EXPECT_FALSE(home->lastDiagnostics().has_value());
    EXPECT_EQ(sent<HelperCommand::Detect>(*harness.runner).size(), 1U);
    EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Prepare{"half wiped"}))
        << "the screen still showed the Ventoy drive that the cancelled remove had changed";
}

// Every operation that writes the drive, cancelled once the helper has its command and
// answering afterwards: the screen goes back at once, then shows the drive as it now is.
TEST_F(HomeViewModelRun, EveryCancelledWriteLooksAtTheDriveAgain) {
    detectAnswer = testing::detectedNotVentoy("half written");
    struct Row {
        const char* name;
        HomeDriveState before;
        std::function<void(HomeViewModel&)> start;
    };
    const auto confirmed = [](auto request) {
        return [request](HomeViewModel& home) {
            request(home);
            home.confirmPendingOperation();
        };
    };
    const Row rows[] = {
        {"prepare", HomeDriveState::Prepare{"blank"}, confirmed([](HomeViewModel& home) { home.primaryAction(); })},
        {"reinstall", HomeDriveState::Incompatible{"old layout"},
         confirmed([](HomeViewModel& home) { home.primaryAction(); })},
        {"update", readyState,
         confirmed([](HomeViewModel& home) { home.invokeDriveMenuCommand(DriveMenuCommand::update); })},
        {"removeVentoy", readyState,
         confirmed([](HomeViewModel& home) { home.invokeDriveMenuCommand(DriveMenuCommand::removeVentoy); })},
        {"writeRawImage", readyState,
         confirmed([](HomeViewModel& home) { home.invokeDriveMenuCommand(DriveMenuCommand::writeRawImage); })},
    };
    harness.rawImageToPick = image("disk.img", 8192);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto home = model(row.before);
        const std::size_t detectsBefore = sent<HelperCommand::Detect>(*harness.runner).size();
        const std::size_t commandsBefore = harness.runner->commands().size();
        row.start(*home);
        // Run the background work (boot files, then the engine) until the engine has the
        // command; its answer waits on the main thread.
        while (harness.runner->commands().size() == commandsBefore && harness.background.runOne()) {
            if (harness.runner->commands().size() == commandsBefore) harness.main.runAll();
        }
        ASSERT_EQ(harness.runner->commands().size(), commandsBefore + 1) << "the engine never had the command";
        home->cancelOperation();
        EXPECT_EQ(home->state(), row.before);

        harness.settle();
        EXPECT_EQ(sent<HelperCommand::Detect>(*harness.runner).size(), detectsBefore + 1);
        EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Prepare{"half written"}));
        EXPECT_FALSE(home->lastDiagnostics().has_value());
    }
}

TEST_F(HomeViewModelRun, ACancelledImageCopyLeavesTheStateAsRestored) {
    engineAnswer = HelperResult{HelperResult::AddImage{HelperAddImageOutcome{HelperAddImageOutcome::Cancelled{}}}};
    harness.imageToPick = image("a.iso", 10);
    const auto home = model(readyState);
    home->primaryAction();
    home->cancelOperation();
    harness.settle();
    EXPECT_EQ(home->state(), readyState);
    EXPECT_TRUE(sent<HelperCommand::Detect>(*harness.runner).empty());
}

TEST_F(HomeViewModelRun, ACancelledWriteIsNotDetectedWhileAnotherRuns) {
    engineAnswer = testing::operationSucceeded(HelperDriveOperationReport::Kind::writeRawImage);
    const auto home = model(HomeDriveState::Prepare{"blank"});
    home->setUiTestAutoOperation(Kind::removeVentoy);
    home->runUiTestAutoOperation();
    home->cancelOperation();
    home->runUiTestAutoOperation();  // a new run is under way when the first answers
    harness.background.runOne();
    harness.main.runAll();
    EXPECT_TRUE(home->state().is<HomeDriveState::OperationRunning>());
    EXPECT_TRUE(sent<HelperCommand::Detect>(*harness.runner).empty());
}

TEST_F(HomeViewModelRun, TheAddImageCommandCarriesTheFileAndTheSetting) {
    engineAnswer = HelperResult{HelperResult::AddImage{HelperAddImageOutcome{
        HelperAddImageOutcome::Success{HelperImageEntry("/a.iso", "a.iso", 1234, false), 100, 200}}}};
    harness.imageToPick = image("a.iso", 1234);
    const auto home = model(readyState);
    home->setVerifyCopiedImages(false);
    home->primaryAction();
    const auto* running = std::get_if<HomeDriveState::OperationRunning>(&home->state().value);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->progress, HomeOperationProgress(0.05, "Writing to the drive…", "a.iso", std::nullopt));
    harness.settle();

    const auto adds = sent<HelperCommand::AddImage>(*harness.runner);
    ASSERT_EQ(adds.size(), 1U);
    EXPECT_EQ(adds.front().name, "a.iso");
    EXPECT_EQ(adds.front().sizeBytes, 1234);
    EXPECT_EQ(adds.front().sourcePath, harness.imageToPick->string());
    EXPECT_EQ(adds.front().ventoyLayout, readyLayout);
    EXPECT_FALSE(adds.front().verifyContentHash);
    EXPECT_EQ(home->state(),
              HomeDriveState(HomeDriveState::Done{Kind::addImage, HomeOperationOutcome::succeeded("Added a.iso")}));
}

TEST_F(HomeViewModelRun, ACommandThatCannotBeBuiltDoesNotStart) {
    const auto home = model(readyState);
    home->setUiTestAutoOperation(Kind::addImage);  // no file, no layout
    home->runUiTestAutoOperation();
    EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Done{
                                 Kind::addImage, HomeOperationOutcome::failed("Couldn't start the operation.")}));
    EXPECT_FALSE(home->isOperationInFlight());
    EXPECT_EQ(harness.background.pending(), 0U);
    EXPECT_FALSE(home->lastDiagnostics().has_value());
}

TEST_F(HomeViewModelRun, CancelDuringTheEngineCallLeavesTheDiagnosticsAlone) {
    engineAnswer = HelperResult::failed(HelperCommandError::CouldNotOpenDevice{"busy"});
    const auto home = model(HomeDriveState::Prepare{"blank"});
    harness.rawImageToPick = image("disk.img", 4096);
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    ASSERT_EQ(home->pendingOperation(), Kind::writeRawImage);
    home->confirmPendingOperation();
    home->cancelOperation();
    harness.background.runOne();
    harness.main.runAll();
    EXPECT_FALSE(home->lastDiagnostics().has_value());
    const auto writes = sent<HelperCommand::WriteRawImage>(*harness.runner);
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_TRUE(writes.front().verify);
    EXPECT_EQ(writes.front().sourcePath, harness.rawImageToPick->string());
}

// Quitting during a raw write: the stop goes through the run's cancel latch, but the run is
// kept, so its answer is awaited, recorded and shown before the caller hears it has stopped.
TEST_F(HomeViewModelRun, AStopForQuittingWaitsForTheHelperAndRecordsTheCancelledWrite) {
    harness.runner->script([](const HelperCommand& command, const HelperProgressHandler& onProgress,
                              const HelperCancelCheck& isCancelled) {
        if (!std::holds_alternative<HelperCommand::WriteRawImage>(command.value)) return testing::detectedNotVentoy();
        onProgress(HelperProgress(HelperProgress::Stage::writeRawImage, 4096, 8192));
        const bool cancelled = isCancelled();
        return HelperResult{HelperResult::DriveOperation{HelperDriveOperationReport(
            HelperDriveOperationReport::Kind::writeRawImage, true, !cancelled, cancelled, {}, std::nullopt,
            std::nullopt)}};
    });
    harness.rawImageToPick = image("disk.img", 8192);
    const auto home = model(HomeDriveState::Prepare{"blank"});
    EXPECT_EQ(home->quitQuestion(), std::nullopt) << "nothing runs yet";
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    home->confirmPendingOperation();
    ASSERT_EQ(harness.background.pending(), 1U);  // the engine call
    EXPECT_EQ(home->quitQuestion(), QuitQuestion::about(Kind::writeRawImage, "sdb"));

    int stopped = 0;
    home->stopOperation([&] { ++stopped; });
    home->stopOperation([&] { ++stopped; });  // a second quit waits for the same end
    EXPECT_EQ(stopped, 0);
    EXPECT_TRUE(home->isOperationCancelRequested());
    EXPECT_TRUE(home->isStoppingOperation());
    const std::string waiting = QuitQuestion::about(Kind::writeRawImage, "sdb").waiting;
    const auto* running = std::get_if<HomeDriveState::OperationRunning>(&home->state().value);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->progress.stageLabel, waiting);

    harness.background.runOne();  // the helper reports progress, sees the cancel, answers
    EXPECT_EQ(stopped, 0) << "the answer has not reached the main thread yet";
    harness.main.runAll();
    EXPECT_EQ(stopped, 2);
    EXPECT_FALSE(home->isStoppingOperation());
    ASSERT_TRUE(home->lastDiagnostics().has_value());
    EXPECT_EQ(home->lastDiagnostics()->outcome, "failed");
    EXPECT_EQ(home->lastDiagnostics()->details,
              (std::vector<std::string>{"cancelled mid-write", "a stage wrote but did not verify"}));
    EXPECT_TRUE(logged("Write a disk image failed: cancelled mid-write | a stage wrote but did not verify"));
    EXPECT_EQ(home->state(),
              HomeDriveState(HomeDriveState::Done{
                  Kind::writeRawImage,
                  HomeOperationOutcome::failed("Cancelled — the drive may be partially written. Run the "
                                               "operation again.")}));
    EXPECT_EQ(harness.runner->commands().size(), 1U) << "nothing else was sent to the drive";
}

TEST_F(HomeViewModelRun, AStopWaitsForWhatRunsAndNoLonger) {
    const auto home = model(HomeDriveState::Prepare{"blank"});
    int stopped = 0;
    home->stopOperation([&] { ++stopped; });
    EXPECT_EQ(stopped, 1) << "with nothing running the stop is at once";

    // Stopped while the boot files are fetched: no command goes out, the screen goes back.
    home->primaryAction();
    home->confirmPendingOperation();
    home->stopOperation([&] { ++stopped; });
    EXPECT_EQ(stopped, 1);
    harness.settle();
    EXPECT_EQ(stopped, 2);
    EXPECT_TRUE(harness.runner->commands().empty());
    EXPECT_EQ(home->state(), HomeDriveState(HomeDriveState::Prepare{"blank"}));
    EXPECT_FALSE(home->lastDiagnostics().has_value());

    // Cancelled first: quitting then asks nothing, but still waits for the engine call.
    harness.rawImageToPick = image("disk.img", 4096);
    home->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    home->confirmPendingOperation();
    ASSERT_EQ(harness.background.pending(), 1U);  // the engine call
    home->cancelOperation();
    EXPECT_EQ(home->quitQuestion(), std::nullopt);
    home->stopOperation([&] { ++stopped; });
    EXPECT_EQ(stopped, 2);
    harness.settle();
    EXPECT_EQ(stopped, 3);
}

}  // namespace
}  // namespace marlowick
