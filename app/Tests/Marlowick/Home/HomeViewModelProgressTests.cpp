#include <gtest/gtest.h>

#include "Home/HomeViewModel.hpp"
#include "Support/HomeModelHarness.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using testing::usbStick;
using Stage = HelperProgress::Stage;

HomeDriveState runningAt(HomeOperationKind kind, double fraction) {
    return HomeDriveState::OperationRunning{kind, HomeOperationProgress(fraction, "Writing to the drive…")};
}

struct EngineCase {
    const char* name;
    HomeOperationKind kind;
    Stage stage;
    std::optional<std::int64_t> current;
    std::optional<std::int64_t> total;
    std::optional<double> fraction;  // none: the report changes nothing
    const char* label;
};

class HomeViewModelEngineProgress : public ::testing::TestWithParam<EngineCase> {};

TEST_P(HomeViewModelEngineProgress, MapsTheStageOntoTheBar) {
    const EngineCase& c = GetParam();
    HomeModelHarness harness;
    const HomeDriveState before = runningAt(c.kind, 0.3);
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), before);

    model->applyEngineProgress(HelperProgress(c.stage, c.current, c.total), c.kind);

    if (!c.fraction) {
        EXPECT_EQ(model->state(), before);
        return;
    }
    const auto* running = std::get_if<HomeDriveState::OperationRunning>(&model->state().value);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->kind, c.kind);
    EXPECT_NEAR(running->progress.fraction, *c.fraction, 1e-9);
    EXPECT_EQ(running->progress.stageLabel, c.label);
    EXPECT_FALSE(running->progress.etaSeconds.has_value());
}

constexpr auto prepare = HomeOperationKind::prepare;
constexpr auto reinstall = HomeOperationKind::reinstall;
constexpr auto update = HomeOperationKind::update;
constexpr auto removeVentoy = HomeOperationKind::removeVentoy;
constexpr auto addImage = HomeOperationKind::addImage;
constexpr auto writeRaw = HomeOperationKind::writeRawImage;

INSTANTIATE_TEST_SUITE_P(
    Stages, HomeViewModelEngineProgress,
    ::testing::Values(
        EngineCase{"prepareLayout", prepare, Stage::layout, {}, {}, 0.62 + 0.38 / 9, "Preparing layout…"},
        EngineCase{"prepareLastStage", prepare, Stage::verifyMbr, {}, {}, 1.0, "Verifying partition table…"},
        EngineCase{"reinstallHalfFormatted", reinstall, Stage::formatPart1, 50, 100, 0.62 + 0.38 * 3.5 / 9,
                   "Formatting data partition…"},
        EngineCase{"updateFlush", update, Stage::flush, {}, {}, 0.62 + 0.38 * 7 / 8, "Saving to the drive…"},
        EngineCase{"removeScrub", removeVentoy, Stage::scrubReserved, {}, {}, 0.05 + 0.95 * 4 / 7,
                   "Erasing Ventoy boot code…"},
        EngineCase{"removeFlushIsLast", removeVentoy, Stage::flush, {}, {}, 1.0, "Saving to the drive…"},
        EngineCase{"addImageCopyHalf", addImage, Stage::copyImage, 500, 1000, 0.05 + 0.95 * 0.25, "Copying image…"},
        EngineCase{"addImageVerifyOfNothing", addImage, Stage::verifyImage, 0, 0, 1.0, "Verifying image…"},
        EngineCase{"rawWriteQuarter", writeRaw, Stage::writeRawImage, 50, 200, 0.05 + 0.95 * 0.25 / 3,
                   "Writing image to the drive…"},
        EngineCase{"rawWriteBeyondTotal", writeRaw, Stage::writeRawImage, 300, 200, 0.05 + 0.95 / 3,
                   "Writing image to the drive…"},
        EngineCase{"rawWriteNegativeCount", writeRaw, Stage::writeRawImage, -5, 200, 0.05,
                   "Writing image to the drive…"},
        EngineCase{"rawWriteVerify", writeRaw, Stage::verifyRawImage, 10, 20, 0.05 + 0.95 * 2.5 / 3,
                   "Verifying the written image…"},
        EngineCase{"stageOfAnotherOperation", prepare, Stage::copyImage, 1, 2, std::nullopt, ""},
        EngineCase{"updateHasNoFormatStage", update, Stage::formatPart1, {}, {}, std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HomeViewModelProgress, AReportForAnotherKindOrAfterTheEndChangesNothing) {
    HomeModelHarness harness;
    const HomeDriveState before = runningAt(HomeOperationKind::removeVentoy, 0.3);
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), before);
    model->applyEngineProgress(HelperProgress(Stage::layout, {}, {}), HomeOperationKind::prepare);
    model->applyAcquisitionPhase({VentoyAcquisitionPhase::Ready{}}, HomeOperationKind::prepare);
    EXPECT_EQ(model->state(), before);

    const HomeDriveState done =
        HomeDriveState::Done{HomeOperationKind::prepare, HomeOperationOutcome::succeeded("USB ready")};
    const auto finished = harness.make(HelperDiskRef(usbStick("sdb")), done);
    finished->applyEngineProgress(HelperProgress(Stage::flush, {}, {}), HomeOperationKind::prepare);
    finished->applyAcquisitionPhase({VentoyAcquisitionPhase::Ready{}}, HomeOperationKind::prepare);
    EXPECT_EQ(finished->state(), done);
}

struct PhaseCase {
    const char* name;
    HomeOperationKind kind;
    VentoyAcquisitionPhase phase;
    double fraction;
    std::string label;  // "{version}" stands for the recommended release
};

class HomeViewModelAcquisitionProgress : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(HomeViewModelAcquisitionProgress, FillsTheBarUpTo62Percent) {
    const PhaseCase& c = GetParam();
    HomeModelHarness harness;
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), runningAt(c.kind, 0.02));
    std::string label = c.label;
    if (const auto at = label.find("{version}"); at != std::string::npos) {
        label.replace(at, 9, harness.catalog->catalog()->recommended().version());
    }

    model->applyAcquisitionPhase(c.phase, c.kind);

    const auto* running = std::get_if<HomeDriveState::OperationRunning>(&model->state().value);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->kind, c.kind);
    EXPECT_NEAR(running->progress.fraction, c.fraction, 1e-9);
    EXPECT_EQ(running->progress.stageLabel, label);
    EXPECT_FALSE(running->progress.detail.has_value());
    EXPECT_FALSE(running->progress.etaSeconds.has_value());
}

using Phase = VentoyAcquisitionPhase;

INSTANTIATE_TEST_SUITE_P(
    Phases, HomeViewModelAcquisitionProgress,
    ::testing::Values(
        PhaseCase{"checking", prepare, {Phase::CheckingCache{}}, 0.03, "Checking cached Ventoy assets…"},
        PhaseCase{"downloadStart", prepare, {Phase::Downloading{0.0}}, 0.05, "Downloading Ventoy {version}…"},
        PhaseCase{"downloadDone", update, {Phase::Downloading{1.0}}, 0.50, "Downloading Ventoy {version}…"},
        PhaseCase{"downloadBeyond", reinstall, {Phase::Downloading{2.0}}, 0.95, "Downloading Ventoy {version}…"},
        PhaseCase{"cached", prepare, {Phase::AlreadyCached{}}, 0.55, "Using cached Ventoy assets…"},
        PhaseCase{"extracting", prepare, {Phase::Extracting{}}, 0.55, "Verifying & extracting…"},
        PhaseCase{"caching", prepare, {Phase::Caching{}}, 0.60, "Caching Ventoy assets…"},
        PhaseCase{"ready", update, {Phase::Ready{}}, 0.62, "Ventoy assets ready"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HomeViewModelProgress, TheTimeLeftComesOnceFourSamplesOfOneStageExist) {
    HomeModelHarness harness;
    const auto model = harness.make(HelperDiskRef(usbStick("sdb")), runningAt(writeRaw, 0.05));
    const auto eta = [&] {
        return std::get<HomeDriveState::OperationRunning>(model->state().value).progress.etaSeconds;
    };
    for (int report = 0; report < 4; ++report) {
        model->applyEngineProgress(HelperProgress(Stage::writeRawImage, report * 100, 1000), writeRaw);
        EXPECT_FALSE(eta().has_value()) << "report " << report;
        harness.now += 1;
    }
    model->applyEngineProgress(HelperProgress(Stage::writeRawImage, 400, 1000), writeRaw);
    ASSERT_TRUE(eta().has_value());
    EXPECT_DOUBLE_EQ(*eta(), 6.0);

    // A new stage measures afresh.
    harness.now += 1;
    model->applyEngineProgress(HelperProgress(Stage::verifyRawImage, 100, 1000), writeRaw);
    EXPECT_FALSE(eta().has_value());
    // A report without counts has no time left.
    model->applyEngineProgress(HelperProgress(Stage::flush, {}, {}), writeRaw);
    EXPECT_FALSE(eta().has_value());
}

}  // namespace
}  // namespace marlowick
