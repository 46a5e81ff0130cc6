// How a click becomes a run: the primary action of each drive state, the Drive menu, the
// confirmation sheet with its last check of the target drive, adding an image, cancel, and
// the stop that quitting asks for.

#include <system_error>

#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {
namespace {

// The size the file system reports, or −1 when it cannot be read.
std::int64_t loggedSize(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

}  // namespace

void HomeViewModel::primaryAction() {
    std::visit(
        [this](const auto& current) {
            using Current = std::decay_t<decltype(current)>;
            if constexpr (std::is_same_v<Current, HomeDriveState::Prepare> ||
                          std::is_same_v<Current, HomeDriveState::Unreadable>) {
                requestOperation(HomeOperationKind::prepare);
            } else if constexpr (std::is_same_v<Current, HomeDriveState::VentoyReady>) {
                requestOperation(HomeOperationKind::addImage);
            } else if constexpr (std::is_same_v<Current, HomeDriveState::Incompatible>) {
                requestOperation(HomeOperationKind::reinstall);
            } else if constexpr (std::is_same_v<Current, HomeDriveState::Error>) {
                detect();
            } else if constexpr (std::is_same_v<Current, HomeDriveState::Done>) {
                setStateBeforeOperation(std::nullopt);
                detect();
            }
        },
        stateValue.value);
}

void HomeViewModel::addAnother() {
    setStateBeforeOperation(std::nullopt);
    if (detectTask) detectTask->cancel();
    auto task = std::make_shared<ModelTask>();
    observerList.assign(detectTask, task, Property::detectTask);
    std::weak_ptr<HomeViewModel> weakSelf = shared_from_this();
    performDetect(task, [weakSelf] {
        const auto self = weakSelf.lock();
        if (self && self->stateValue.is<HomeDriveState::VentoyReady>()) self->beginAddImage();
    });
}

void HomeViewModel::invokeDriveMenuCommand(DriveMenuCommand command) {
    if (!stateValue.enabledDriveMenuCommands().contains(command)) return;
    switch (command) {
        case DriveMenuCommand::prepare: requestOperation(HomeOperationKind::prepare); break;
        case DriveMenuCommand::update: requestOperation(HomeOperationKind::update); break;
        case DriveMenuCommand::reinstall: requestOperation(HomeOperationKind::reinstall); break;
        case DriveMenuCommand::removeVentoy: requestOperation(HomeOperationKind::removeVentoy); break;
        case DriveMenuCommand::writeRawImage: requestOperation(HomeOperationKind::writeRawImage); break;
        case DriveMenuCommand::eject: ejectDrive(); break;
    }
}

void HomeViewModel::requestOperation(HomeOperationKind kind) {
    if (pendingOperationValue || stateValue.is<HomeDriveState::OperationRunning>()) return;
    const std::optional<DiagnosticReport::DriveSummary> drive = driveSummary();
    MarlowickLog::operationRequested(diagnosticName(kind), drive ? drive->bsdName : "?");
    switch (kind) {
        case HomeOperationKind::addImage: beginAddImage(); return;
        case HomeOperationKind::writeRawImage: beginWriteRawImage(); return;
        case HomeOperationKind::prepare:
        case HomeOperationKind::reinstall:
        case HomeOperationKind::removeVentoy: setAdvancedOptions(AdvancedInstallOptions(*catalog->catalog())); break;
        case HomeOperationKind::update: break;
    }
    setPendingOperation(kind);
}

void HomeViewModel::confirmPendingOperation() {
    if (!pendingOperationValue) return;
    const HomeOperationKind kind = *pendingOperationValue;
    if (const auto verdict = verifySelection(true)) {
        refuseOperation(kind, *verdict);
        return;
    }
    setPendingOperation(std::nullopt);
    const std::optional<PendingRawImage> rawImage = pendingRawImageValue;
    setPendingRawImage(std::nullopt);
    run(kind, rawImage ? std::optional<std::filesystem::path>(rawImage->url) : std::nullopt, std::nullopt);
}

std::optional<TargetVerification::Verdict> HomeViewModel::verifySelection(bool writes) {
    // A drive injected rather than picked from a listing (a test world's) is not re-identified.
    if (!diskValue || !selectionFromEnumeration) return std::nullopt;
    EnumerationProbe probe(listDisks());
    TargetVerification::Verdict verdict = TargetVerification::verify(*diskValue, writes, probe);
    if (verdict.isVerified()) return std::nullopt;
    return verdict;
}

void HomeViewModel::refuseOperation(HomeOperationKind kind, const TargetVerification::Verdict& verdict) {
    refuseTarget(diagnosticName(kind), verdict,
                 HomeDriveState::Done{kind, HomeOperationOutcome::failed(userMessage(verdict))});
}

void HomeViewModel::refuseTarget(std::string_view operation, const TargetVerification::Verdict& verdict,
                                 HomeDriveState shown) {
    // The summary is read before the selection is dropped, so that both name the drive.
    const std::optional<DiagnosticReport::DriveSummary> drive = driveSummary();
    const std::string description = diagnosticDescription(verdict);
    setLastDiagnostics(
        DiagnosticReport{diagnosticEnvironment(), std::string(operation), "refused", drive, {description}});
    MarlowickLog::targetRefused(drive ? drive->bsdName : "?", description);
    setPendingOperation(std::nullopt);
    setPendingRawImage(std::nullopt);
    clearSelection();
    setState(std::move(shown));
    observerList.assign(availableDisksValue,
                        DiscoveredDisk::eligibleTargets(listDisks(), driveVisibilityValue, includeFixedStorageValue),
                        Property::availableDisks);
}

void HomeViewModel::beginAddImage() {
    const auto* ready = std::get_if<HomeDriveState::VentoyReady>(&stateValue.value);
    if (ready == nullptr) return;
    const HelperVentoyLayout layout = ready->layout;
    const std::optional<std::filesystem::path> file = pickImageFile();
    if (!file) return;
    MarlowickLog::imageSelected(file->filename().string(), loggedSize(*file));
    if (const auto verdict = verifySelection(true)) {
        refuseOperation(HomeOperationKind::addImage, *verdict);
        return;
    }
    run(HomeOperationKind::addImage, file, layout);
}

void HomeViewModel::cancelOperation() {
    operationCancelValue->cancel();
    restoreStateBeforeOperation();
}

std::optional<QuitQuestion> HomeViewModel::quitQuestion() const {
    const auto* running = std::get_if<HomeDriveState::OperationRunning>(&stateValue.value);
    if (!operationTaskValue || running == nullptr) return std::nullopt;
    return QuitQuestion::about(running->kind, deviceName());
}

void HomeViewModel::stopOperation(std::function<void()> stopped) {
    if (!runInFlight) {
        if (stopped) stopped();
        return;
    }
    if (stopped) stoppedWaiters.push_back(std::move(stopped));
    const std::optional<QuitQuestion> question = quitQuestion();
    if (stoppingValue || !question) return;
    operationCancelValue->cancel();
    observerList.assign(stoppingValue, true, Property::operationStopping);
    const auto& running = std::get<HomeDriveState::OperationRunning>(stateValue.value);
    setState(HomeDriveState::OperationRunning{running.kind,
                                              HomeOperationProgress(running.progress.fraction, question->waiting)});
}

void HomeViewModel::runUiTestAutoOperation() {
    if (uiTestAutoValue) run(*uiTestAutoValue, std::nullopt, std::nullopt);
}

}  // namespace marlowick
