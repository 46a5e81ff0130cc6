// The road every confirmed operation takes: keep the state to return to, arm a fresh cancel
// latch and rate estimate, acquire the boot files when the kind needs them, build the one
// command, run it off the main thread with its progress hopping back, and turn its answer
// into the next state and the diagnostics record.

#include <system_error>

#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {
namespace {

constexpr std::string_view noDriveMessage = "No drive connected.";
constexpr std::string_view cannotStartMessage = "Couldn't start the operation.";
constexpr std::string_view preparingAssetsLabel = "Preparing Ventoy assets…";
constexpr std::string_view writingLabel = "Writing to the drive…";
constexpr std::string_view waitingForReadLabel = "Waiting for the drive to finish an earlier read…";
constexpr std::string_view downloadFailedMessage =
    "Couldn't download the Ventoy boot files. Check your internet connection and try again.";
constexpr std::string_view unverifiedAssetsMessage = "The Ventoy boot files couldn't be verified. Please try again.";
constexpr std::string_view noWorkerThreadDetail = "no background thread could be started";

// Where the helper's share of the bar starts: after the boot files for the kinds that need
// them, near the start for the others.
double engineBase(HomeOperationKind kind) { return needsVentoyAssets(kind) ? 0.62 : 0.05; }

std::int64_t sizeOrZero(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

}  // namespace

void HomeViewModel::run(HomeOperationKind kind, std::optional<std::filesystem::path> pickedFile,
                        std::optional<HelperVentoyLayout> layout) {
    if (!diskValue) {
        setState(HomeDriveState::Done{kind, HomeOperationOutcome::failed(std::string(noDriveMessage))});
        return;
    }
    setStateBeforeOperation(stateValue);
    operationCancelValue = std::make_shared<HelperCancelLatch>();
    observerList.notify(Property::operationCancel);
    observerList.assign(operationDetail,
                        pickedFile ? std::optional<std::string>(pickedFile->filename().string()) : std::nullopt,
                        Property::operationDetail);
    observerList.assign(throughput, ThroughputEstimator(0.25, 4), Property::throughput);
    observerList.assign(throughputStage, std::optional<HelperProgress::Stage>(), Property::throughputStage);
    auto task = std::make_shared<ModelTask>();
    setOperationTask(task);
    runInFlight = task;
    const HelperDiskRef disk = *diskValue;

    if (!needsVentoyAssets(kind)) {
        sendCommand(task, kind, disk, pickedFile, layout, std::nullopt);
        return;
    }
    setState(HomeDriveState::OperationRunning{kind, HomeOperationProgress(0.02, std::string(preparingAssetsLabel))});
    const std::optional<std::string> version =
        kind == HomeOperationKind::update ? std::nullopt
                                          : std::optional<std::string>(advancedOptionsValue.selectedVentoyVersion);
    std::weak_ptr<HomeViewModel> weakSelf = shared_from_this();
    std::function<VentoyAcquisitionResult()> work = [acquire = acquireAssets, version, weakSelf, post = executor,
                                                     kind, latch = operationCancelValue] {
        const VentoyAssetAcquirer::PhaseCallback onPhase = [weakSelf, post, kind](const VentoyAcquisitionPhase& phase) {
            post([weakSelf, phase, kind] {
                if (const auto self = weakSelf.lock()) self->applyAcquisitionPhase(phase, kind);
            });
        };
        return acquire(version, onPhase, [latch] { return latch->isCancelled(); });
    };
    auto self = shared_from_this();
    std::function<void(VentoyAcquisitionResult)> resume = [self, task, latch = operationCancelValue, kind, disk,
                                                           pickedFile, layout](const VentoyAcquisitionResult& result) {
        if (task->isCancelled()) {
            self->endOperation(task);
            return;
        }
        if (latch->isCancelled()) {
            // Stopped for quitting before anything was sent to the drive: nothing to record.
            self->restoreStateBeforeOperation();
            self->endOperation(task);
        } else if (const auto* acquired = std::get_if<VentoyAcquisitionResult::Acquired>(&result.value)) {
            const HelperAssetRefSet assets(acquired->set, self->catalog->signedRegistry());
            self->sendCommand(task, kind, disk, pickedFile, layout, assets);
        } else {
            self->finishAcquisition(kind, result);
            self->endOperation(task);
        }
    };
    try {
        offMainActor(std::move(work), resume);
    } catch (const std::system_error&) {
        resume(VentoyAcquisitionResult{VentoyAcquisitionResult::Failure{
            VentoyAcquisitionReason{VentoyAcquisitionReason::Download{}}, std::string(noWorkerThreadDetail)}});
    }
}

void HomeViewModel::finishAcquisition(HomeOperationKind kind, const VentoyAcquisitionResult& result) {
    const auto& failure = std::get<VentoyAcquisitionResult::Failure>(result.value);
    const std::string reason = render(failure.reason);
    MarlowickLog::assetFailure(reason, failure.detail);
    setLastDiagnostics(DiagnosticReport{diagnosticEnvironment(), std::string(diagnosticName(kind)), "failed",
                                        driveSummary(),
                                        {"asset acquisition failed: " + reason + " \u2014 " + failure.detail}});
    const bool download = std::holds_alternative<VentoyAcquisitionReason::Download>(failure.reason.value);
    setState(HomeDriveState::Done{
        kind, HomeOperationOutcome::failed(std::string(download ? downloadFailedMessage : unverifiedAssetsMessage))});
    setOperationTask(nullptr);
}

void HomeViewModel::sendCommand(const ModelTaskHandle& task, HomeOperationKind kind, const HelperDiskRef& disk,
                                const std::optional<std::filesystem::path>& pickedFile,
                                const std::optional<HelperVentoyLayout>& layout,
                                const std::optional<HelperAssetRefSet>& assets) {
    const AdvancedInstallOptions options = advancedOptionsValue;
    std::optional<HelperCommand> command;
    switch (kind) {
        case HomeOperationKind::prepare:
        case HomeOperationKind::reinstall:
            // Without a disk signature the engine makes its own.
            if (assets) {
                command = HelperCommand{HelperCommand::Prepare{
                    disk, *assets, options.helperInstallOptions(*catalog->catalog()), std::nullopt}};
            }
            break;
        case HomeOperationKind::update:
            if (assets) command = HelperCommand{HelperCommand::Update{disk, *assets}};
            break;
        case HomeOperationKind::removeVentoy:
            command = HelperCommand{HelperCommand::RemoveVentoy{disk, options.helperRemoveOptions()}};
            break;
        case HomeOperationKind::addImage:
            if (pickedFile && layout) {
                command = HelperCommand{HelperCommand::AddImage{disk, *layout, pickedFile->filename().string(),
                                                                sizeOrZero(*pickedFile), pickedFile->string(),
                                                                verifyCopiedImagesValue}};
            }
            break;
        case HomeOperationKind::writeRawImage:
            if (pickedFile) command = HelperCommand{HelperCommand::WriteRawImage{disk, pickedFile->string(), true}};
            break;
    }
    if (!command) {
        setState(HomeDriveState::Done{kind, HomeOperationOutcome::failed(std::string(cannotStartMessage))});
        setOperationTask(nullptr);
        endOperation(task);
        return;
    }

    const std::string_view label = helperListingsInFlightValue < 1 ? writingLabel : waitingForReadLabel;
    setState(HomeDriveState::OperationRunning{
        kind, HomeOperationProgress(engineBase(kind), std::string(label), operationDetail, std::nullopt)});
    std::weak_ptr<HomeViewModel> weakSelf = shared_from_this();
    HelperProgressHandler onProgress = [weakSelf, post = executor, kind](const HelperProgress& progress) {
        post([weakSelf, progress, kind] {
            if (const auto self = weakSelf.lock()) self->applyEngineProgress(progress, kind);
        });
    };
    HelperCancelCheck isCancelled = [latch = operationCancelValue] { return latch->isCancelled(); };
    auto self = shared_from_this();
    runOffMainActor(std::move(*command), std::move(onProgress), std::move(isCancelled),
                    [self, task, kind, disk](const HelperResult& result) {
                        if (!task->isCancelled()) {
                            self->finishOperation(kind, result);
                        } else if (kind != HomeOperationKind::addImage && self->diskValue == disk &&
                                   !self->stateValue.is<HomeDriveState::OperationRunning>()) {
                            // Cancel put back the screen from before, but a write that was under
                            // way has changed the drive: look at it again, unless another
                            // operation has begun or another drive has been selected meanwhile.
                            self->detect();
                        }
                        self->endOperation(task);
                    });
}

void HomeViewModel::finishOperation(HomeOperationKind kind, const HelperResult& result) {
    recordDiagnostics(kind, result);
    setState(HomeDriveState::fromOperationResult(kind, result));
    setOperationTask(nullptr);
}

void HomeViewModel::restoreStateBeforeOperation() {
    if (operationTaskValue) {
        operationTaskValue->cancel();
        setOperationTask(nullptr);
    }
    if (stateBeforeValue) setState(*stateBeforeValue);
    setStateBeforeOperation(std::nullopt);
}

void HomeViewModel::endOperation(const ModelTaskHandle& task) {
    if (task != runInFlight) return;
    runInFlight = nullptr;
    observerList.assign(stoppingValue, false, Property::operationStopping);
    const std::vector<std::function<void()>> waiters = std::move(stoppedWaiters);
    stoppedWaiters.clear();
    for (const std::function<void()>& waiter : waiters) waiter();
}

}  // namespace marlowick
