#include "Home/HomeViewModel.hpp"

#include "Home/DriveImageListing.hpp"

#include <chrono>
#include <system_error>
#include <utility>

namespace marlowick {
namespace {

// The answer of a command whose job could not be started: the drive was never reached.
constexpr std::string_view noWorkerThreadDetail =
    "Marlowick couldn't start a background task for the drive. Nothing was changed. Try again.";

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

HomeViewModel::AcquireAssets unwiredAcquisition() {
    return [](const std::optional<std::string>&, const VentoyAssetAcquirer::PhaseCallback&,
              const std::function<bool()>&) {
        return VentoyAcquisitionResult{VentoyAcquisitionResult::Failure{
            VentoyAcquisitionReason{VentoyAcquisitionReason::Download{}},
            std::string(HomeViewModel::unwiredAcquisitionDetail)}};
    };
}

HomeViewModel::PickFile noFile() {
    return [] { return std::optional<std::filesystem::path>(); };
}

}  // namespace

std::shared_ptr<HomeViewModel> HomeViewModel::create(MainExecutor mainExecutor, Arguments arguments) {
    return std::shared_ptr<HomeViewModel>(new HomeViewModel(std::move(mainExecutor), std::move(arguments)));
}

HomeViewModel::HomeViewModel(MainExecutor mainExecutor, Arguments arguments)
    : executor(std::move(mainExecutor)),
      startBackground(arguments.startBackground ? std::move(arguments.startBackground) : threadPerJob()),
      clock(arguments.clock ? std::move(arguments.clock) : std::function<double()>(steadySeconds)),
      catalog(std::move(arguments.catalog)),
      stateValue(std::move(arguments.initialState)),
      advancedOptionsValue(*catalog->catalog()),
      driveVisibilityValue(arguments.driveVisibility),
      includeFixedStorageValue(arguments.includeFixedStorage),
      verifyCopiedImagesValue(arguments.verifyCopiedImages),
      listDriveImages(arguments.listDriveImages ? std::move(arguments.listDriveImages)
                                                : arguments.fileAccess ? driveImageListing(arguments.fileAccess)
                                                                      : ListDriveImages()),
      fileAccess(std::move(arguments.fileAccess)),
      runner(std::move(arguments.runner)),
      diskValue(std::move(arguments.disk)),
      listDisks(std::move(arguments.listDisks)),
      pickImageFile(arguments.pickImageFile ? std::move(arguments.pickImageFile) : noFile()),
      pickRawImageFile(arguments.pickRawImageFile ? std::move(arguments.pickRawImageFile) : noFile()),
      ejectDisk(std::move(arguments.ejectDisk)),
      isAssetCached(std::move(arguments.isAssetCached)),
      acquireAssets(arguments.acquireAssets ? std::move(arguments.acquireAssets) : unwiredAcquisition()) {}

// --- Stored properties.

void HomeViewModel::setState(HomeDriveState value) { observerList.assign(stateValue, std::move(value), Property::state); }

void HomeViewModel::setDisk(std::optional<HelperDiskRef> value) {
    observerList.assign(diskValue, std::move(value), Property::disk);
}

void HomeViewModel::setSelectedDiskName(std::optional<std::string> value) {
    observerList.assign(selectedDiskNameValue, std::move(value), Property::selectedDiskName);
}

void HomeViewModel::setSelectionFromEnumeration(bool value) {
    observerList.assign(selectionFromEnumeration, value, Property::selectionFromEnumeration);
}

void HomeViewModel::setDriveImages(std::optional<std::vector<HelperImageEntry>> value) {
    observerList.assign(driveImagesValue, std::move(value), Property::driveImages);
}

void HomeViewModel::setHelperListingsInFlight(int value) {
    // Every step is told, even one that lands on the same count.
    helperListingsInFlightValue = value;
    observerList.notify(Property::helperListingsInFlight);
}

void HomeViewModel::setLastDiagnostics(DiagnosticReport value) {
    observerList.assign(lastDiagnosticsValue, std::optional<DiagnosticReport>(std::move(value)),
                        Property::lastDiagnostics);
}

void HomeViewModel::setStateBeforeOperation(std::optional<HomeDriveState> value) {
    observerList.assign(stateBeforeValue, std::move(value), Property::stateBeforeOperation);
}

void HomeViewModel::setOperationTask(ModelTaskHandle value) {
    observerList.assign(operationTaskValue, std::move(value), Property::operationTask);
}

void HomeViewModel::clearSelection() {
    setDisk(std::nullopt);
    setSelectedDiskName(std::nullopt);
    setSelectionFromEnumeration(false);
}

void HomeViewModel::setIsPickingDisk(bool value) {
    observerList.assign(isPickingDiskValue, value, Property::isPickingDisk);
}

void HomeViewModel::setIsShowingBootGuide(bool value) {
    observerList.assign(isShowingBootGuideValue, value, Property::isShowingBootGuide);
}

void HomeViewModel::setAdvancedOptions(AdvancedInstallOptions value) {
    observerList.assign(advancedOptionsValue, std::move(value), Property::advancedOptions);
}

void HomeViewModel::setPendingOperation(std::optional<HomeOperationKind> value) {
    observerList.assign(pendingOperationValue, value, Property::pendingOperation);
}

void HomeViewModel::setPendingRawImage(std::optional<PendingRawImage> value) {
    observerList.assign(pendingRawImageValue, std::move(value), Property::pendingRawImage);
}

void HomeViewModel::setRawWriteBlockedMessage(std::optional<std::string> value) {
    observerList.assign(rawWriteBlockedValue, std::move(value), Property::rawWriteBlockedMessage);
}

void HomeViewModel::setBrowser(std::shared_ptr<DriveBrowserModel> value) {
    // Opening and closing the browser always notify.
    browserValue = std::move(value);
    observerList.notify(Property::browser);
}

void HomeViewModel::setUiTestAutoOperation(std::optional<HomeOperationKind> value) {
    observerList.assign(uiTestAutoValue, value, Property::uiTestAutoOperation);
}

// --- Derived values.

std::string HomeViewModel::deviceName() const {
    if (selectedDiskNameValue && !selectedDiskNameValue->empty()) return *selectedDiskNameValue;
    if (diskValue) return std::filesystem::path(diskValue->rawDevicePath).filename().string();
    return "the drive";
}

bool HomeViewModel::canBrowseDrive() const {
    return fileAccess != nullptr && diskValue.has_value() && !pendingOperationValue.has_value() &&
           stateValue.is<HomeDriveState::VentoyReady>();
}

std::optional<std::int64_t> HomeViewModel::pendingOperationDownloadBytes() const {
    const auto cached = [this](const std::optional<std::string>& version) {
        return isAssetCached && isAssetCached(version);
    };
    return marlowick::pendingOperationDownloadBytes(pendingOperationValue, advancedOptionsValue, cached,
                                                    *catalog->catalog());
}

// --- Work off the main thread.

void HomeViewModel::runOffMainActor(HelperCommand command, HelperProgressHandler onProgress,
                                    HelperCancelCheck isCancelled, ResultContinuation resume) {
    // Shared between the job and the fallback below: whichever runs hands it on once.
    auto continuation = std::make_shared<ResultContinuation>(std::move(resume));
    try {
        startBackground([runner = runner, command = std::move(command), onProgress = std::move(onProgress),
                         isCancelled = std::move(isCancelled), post = executor, continuation]() mutable {
            HelperResult result = runner->run(command, onProgress, isCancelled);
            post([continuation = std::move(continuation), result = std::move(result)] { (*continuation)(result); });
        });
    } catch (const std::system_error&) {
        executor([continuation] {
            (*continuation)(HelperResult::failed(HelperCommandError::CouldNotOpenDevice{std::string(noWorkerThreadDetail)}));
        });
    }
}

}  // namespace marlowick
