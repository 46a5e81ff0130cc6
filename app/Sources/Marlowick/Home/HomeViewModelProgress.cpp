// One progress bar from 0 to 1 for a running operation: the boot-file acquisition fills it up
// to 0.62, then the helper's stages share the rest equally, each stage's own byte counts
// moving the bar within its share; byte counts also feed the time remaining.

#include <algorithm>
#include <span>

#include "Home/HomeViewModel.hpp"

namespace marlowick {
namespace {

using Stage = HelperProgress::Stage;

constexpr Stage installStages[] = {Stage::layout,          Stage::writeCore,        Stage::verifyCore,
                                   Stage::formatPart1,     Stage::writeVentoyDisk,  Stage::verifyVentoyDisk,
                                   Stage::writeMbr,        Stage::flush,            Stage::verifyMbr};
constexpr Stage updateStages[] = {Stage::layout,          Stage::writeCore, Stage::verifyCore, Stage::writeVentoyDisk,
                                  Stage::verifyVentoyDisk, Stage::writeMbr,  Stage::flush,      Stage::verifyMbr};
constexpr Stage removeStages[] = {Stage::layout, Stage::writeMbr,     Stage::verifyMbr, Stage::scrubReserved,
                                  Stage::format, Stage::verifyFormat, Stage::flush};
constexpr Stage addImageStages[] = {Stage::copyImage, Stage::verifyImage};
constexpr Stage rawWriteStages[] = {Stage::writeRawImage, Stage::flush, Stage::verifyRawImage};

std::span<const Stage> stagesOf(HomeOperationKind kind) {
    switch (kind) {
        case HomeOperationKind::prepare:
        case HomeOperationKind::reinstall: return installStages;
        case HomeOperationKind::update: return updateStages;
        case HomeOperationKind::removeVentoy: return removeStages;
        case HomeOperationKind::addImage: return addImageStages;
        case HomeOperationKind::writeRawImage: return rawWriteStages;
    }
    return {};
}

std::string_view label(Stage stage) {
    switch (stage) {
        case Stage::layout: return "Preparing layout…";
        case Stage::writeCore: return "Writing boot image…";
        case Stage::verifyCore: return "Verifying boot image…";
        case Stage::formatPart1: return "Formatting data partition…";
        case Stage::writeVentoyDisk: return "Writing Ventoy image…";
        case Stage::verifyVentoyDisk: return "Verifying Ventoy image…";
        case Stage::writeMbr: return "Writing partition table…";
        case Stage::verifyMbr: return "Verifying partition table…";
        case Stage::flush: return "Saving to the drive…";
        case Stage::scrubReserved: return "Erasing Ventoy boot code…";
        case Stage::format: return "Formatting…";
        case Stage::verifyFormat: return "Verifying format…";
        case Stage::copyImage: return "Copying image…";
        case Stage::verifyImage: return "Verifying image…";
        case Stage::writeRawImage: return "Writing image to the drive…";
        case Stage::verifyRawImage: return "Verifying the written image…";
    }
    return "";
}

bool isRunning(const HomeDriveState& state, HomeOperationKind kind) {
    const auto* running = std::get_if<HomeDriveState::OperationRunning>(&state.value);
    return running != nullptr && running->kind == kind;
}

}  // namespace

std::string HomeViewModel::downloadVersion(HomeOperationKind kind) const {
    const bool chosen = kind == HomeOperationKind::prepare || kind == HomeOperationKind::reinstall ||
                        kind == HomeOperationKind::removeVentoy;
    return catalog->catalog()
        ->manifest(chosen ? std::optional<std::string>(advancedOptionsValue.selectedVentoyVersion) : std::nullopt)
        .version();
}

void HomeViewModel::applyAcquisitionPhase(const VentoyAcquisitionPhase& phase, HomeOperationKind kind) {
    // While a stop is awaited, the screen keeps saying so.
    if (!isRunning(stateValue, kind) || stoppingValue) return;
    HomeOperationProgress progress = std::visit(
        [this, kind](const auto& current) {
            using Phase = std::decay_t<decltype(current)>;
            if constexpr (std::is_same_v<Phase, VentoyAcquisitionPhase::CheckingCache>) {
                return HomeOperationProgress(0.03, "Checking cached Ventoy assets…");
            } else if constexpr (std::is_same_v<Phase, VentoyAcquisitionPhase::Downloading>) {
                return HomeOperationProgress(0.05 + 0.45 * current.fraction,
                                             "Downloading Ventoy " + downloadVersion(kind) + "…");
            } else if constexpr (std::is_same_v<Phase, VentoyAcquisitionPhase::AlreadyCached>) {
                return HomeOperationProgress(0.55, "Using cached Ventoy assets…");
            } else if constexpr (std::is_same_v<Phase, VentoyAcquisitionPhase::Extracting>) {
                return HomeOperationProgress(0.55, "Verifying & extracting…");
            } else if constexpr (std::is_same_v<Phase, VentoyAcquisitionPhase::Caching>) {
                return HomeOperationProgress(0.60, "Caching Ventoy assets…");
            } else {
                return HomeOperationProgress(0.62, "Ventoy assets ready");
            }
        },
        phase.value);
    setState(HomeDriveState::OperationRunning{kind, std::move(progress)});
}

void HomeViewModel::applyEngineProgress(const HelperProgress& progress, HomeOperationKind kind) {
    if (!isRunning(stateValue, kind) || stoppingValue) return;
    if (throughputStage != progress.stage) {
        observerList.assign(throughputStage, std::optional<Stage>(progress.stage), Property::throughputStage);
        ThroughputEstimator fresh = throughput;
        fresh.reset();
        observerList.assign(throughput, fresh, Property::throughput);
    }
    std::optional<double> remaining;
    // A negative count says nothing about speed: it is not measured.
    if (progress.currentBytes && *progress.currentBytes >= 0) {
        ThroughputEstimator measured = throughput;
        measured.record(*progress.currentBytes, clock());
        remaining = measured.secondsRemaining(*progress.currentBytes, progress.totalBytes);
        observerList.assign(throughput, measured, Property::throughput);
    }

    const std::span<const Stage> stages = stagesOf(kind);
    const auto position = std::find(stages.begin(), stages.end(), progress.stage);
    if (position == stages.end()) return;
    double within = 1.0;
    if (progress.currentBytes && progress.totalBytes && *progress.totalBytes != 0) {
        within = std::clamp(static_cast<double>(*progress.currentBytes) / static_cast<double>(*progress.totalBytes),
                            0.0, 1.0);
    }
    const double overall = (static_cast<double>(position - stages.begin()) + within) /
                           static_cast<double>(stages.size());
    const double base = needsVentoyAssets(kind) ? 0.62 : 0.05;
    setState(HomeDriveState::OperationRunning{
        kind, HomeOperationProgress(std::clamp(base + (1.0 - base) * overall, 0.0, 1.0),
                                    std::string(label(progress.stage)), operationDetail, remaining)});
}

}  // namespace marlowick
