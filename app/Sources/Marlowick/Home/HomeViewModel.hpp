#pragma once
// The home screen's central state holder: the drives on offer and the selected one, what
// the selected drive holds (HomeDriveState), the operation waiting for confirmation and the
// one that runs, the images on a Ventoy drive, the drive browser while it is open, and the
// settings the menus toggle. The views read its properties and call its operations.
//
// Main thread only. Every member runs there, and so does every continuation of the work it
// starts. Three kinds of work leave the main thread, each on a job of the background
// starter it was given: engine commands (through the injected runner), file listings
// (through the injected file access) and boot-file acquisition. Each comes back as a
// closure posted through the main executor, so the model needs no lock.
//
// At most three pieces of work are tracked: a detection, an image refresh and an
// operation. Starting a detection or a refresh cancels the one before it; a cancelled
// piece of work runs to its end off the main thread and the model drops what it brings.
// Only the operation passes a real cancel query to the engine (its latch): detections and
// listings always answer no. While work is out, it holds the model alive; progress and
// acquisition-phase reports hold it weakly and do nothing once it is gone.
//
// Observers are told which property changed, only when the new value differs from the
// stored one; opening or closing the browser and every change of helperListingsInFlight
// always notify.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Download/VentoyAssetAcquirer.hpp"
#include "Block/DiscoveredDisk.hpp"
#include "Block/DriveVisibility.hpp"
#include "Diagnostics/DiagnosticReport.hpp"
#include "Files/DriveFileAccess.hpp"
#include "HelperWire/HelperCancelLatch.hpp"
#include "Block/HelperDeviceProbe.hpp"
#include "HelperWire/HelperEngineRunner.hpp"
#include "HelperWire/TargetVerification.hpp"
#include "Home/AdvancedInstallOptions.hpp"
#include "Home/BackgroundStarter.hpp"
#include "Home/DriveBrowserModel.hpp"
#include "Home/HomeDriveState.hpp"
#include "Home/HomeOperationKind.hpp"
#include "Home/MainExecutor.hpp"
#include "Home/ModelObservers.hpp"
#include "Home/ModelTask.hpp"
#include "Home/QuitQuestion.hpp"
#include "Home/ThroughputEstimator.hpp"
#include "Home/VentoyCatalogModel.hpp"
#include "Image/RawWritePreflightNotice.hpp"
#include "Image/RawWriteRouting.hpp"

namespace marlowick {

class HomeViewModel : public std::enable_shared_from_this<HomeViewModel> {
public:
    enum class Property {
        state,
        pendingOperation,
        advancedOptions,
        availableDisks,
        driveVisibility,
        includeFixedStorage,
        hiddenFixedStorageCount,
        verifyCopiedImages,
        driveImages,
        browser,
        pendingRawImage,
        rawWriteBlockedMessage,
        isPickingDisk,
        isShowingBootGuide,
        disk,
        selectedDiskName,
        lastDiagnostics,
        selectionFromEnumeration,
        stateBeforeOperation,
        operationTask,
        operationCancel,
        operationDetail,
        throughput,
        throughputStage,
        detectTask,
        imageRefreshTask,
        uiTestAutoOperation,
        helperListingsInFlight,
        operationStopping,
    };

    // A raw image waiting for confirmation: the file, its size on disk (absent when it
    // could not be read), the routing verdict (always a raw write here) and the warnings.
    struct PendingRawImage {
        std::filesystem::path url;
        std::optional<std::int64_t> sizeBytes;
        RawWriteRouting::Verdict verdict;
        std::vector<RawWritePreflightNotice> notices;
        bool operator==(const PendingRawImage&) const = default;
    };

    using ListDisks = std::function<std::vector<DiscoveredDisk>()>;
    // Asks the user for a file; none when the user cancels.
    using PickFile = std::function<std::optional<std::filesystem::path>()>;
    using EjectDisk = std::function<void(const HelperDiskRef&)>;
    // Whether the boot files of that release (none: the recommended one) are cached.
    using IsAssetCached = std::function<bool(const std::optional<std::string>& version)>;
    // Lists the bootable images on the drive's data partition through the application's own
    // file access (mounting it if need be); none when the volume was refused or the listing
    // failed. Blocking, called off the main thread.
    using ListDriveImages = std::function<std::optional<std::vector<HelperImageEntry>>(
        const HelperDiskRef& disk, const HelperVentoyLayout& layout)>;
    // Obtains the boot files of that release (none: the recommended one). Blocking, called
    // off the main thread; phases may be reported on any thread; the cancel query is the
    // operation's.
    using AcquireAssets = std::function<VentoyAcquisitionResult(const std::optional<std::string>& version,
                                                                const VentoyAssetAcquirer::PhaseCallback& onPhase,
                                                                const std::function<bool()>& isCancelled)>;

    static constexpr std::string_view unwiredAcquisitionDetail = "Asset acquisition isn't wired in this context.";

    // What the model is built from, in the order the application passes it.
    struct Arguments {
        std::shared_ptr<HelperEngineRunner> runner;
        std::optional<HelperDiskRef> disk;
        HomeDriveState initialState;
        DriveVisibility driveVisibility = DriveVisibility::usbOnly;
        bool includeFixedStorage = false;
        bool verifyCopiedImages = true;
        ListDisks listDisks;
        PickFile pickImageFile;     // none: no file is ever picked
        PickFile pickRawImageFile;  // none: no file is ever picked
        EjectDisk ejectDisk;
        IsAssetCached isAssetCached;
        AcquireAssets acquireAssets;  // none: every acquisition fails with reason download
        ListDriveImages listDriveImages;  // none: from fileAccess when given, else through the helper program
        // The files of the drive's mounted data partition, for the drive browser; none: no
        // browser.
        std::shared_ptr<DriveFileAccess> fileAccess;
        // The application's release catalog: the recommended release, the names of releases
        // being downloaded, and the signed registry handed to the helper program.
        std::shared_ptr<VentoyCatalogModel> catalog;
        BackgroundStarter startBackground;  // none: a thread per job
        std::function<double()> clock;      // seconds, for the time remaining; none: a steady clock
    };

    // Logs nothing, starts nothing and does not scan.
    [[nodiscard]] static std::shared_ptr<HomeViewModel> create(MainExecutor mainExecutor, Arguments arguments);
    HomeViewModel(const HomeViewModel&) = delete;
    HomeViewModel& operator=(const HomeViewModel&) = delete;
    ~HomeViewModel() = default;

    ModelObservers<Property>& observers() { return observerList; }

    // --- What the views read.
    [[nodiscard]] const HomeDriveState& state() const { return stateValue; }
    [[nodiscard]] const std::optional<HomeOperationKind>& pendingOperation() const { return pendingOperationValue; }
    [[nodiscard]] const AdvancedInstallOptions& advancedOptions() const { return advancedOptionsValue; }
    [[nodiscard]] const std::vector<DiscoveredDisk>& availableDisks() const { return availableDisksValue; }
    [[nodiscard]] DriveVisibility driveVisibility() const { return driveVisibilityValue; }
    [[nodiscard]] bool includeFixedStorage() const { return includeFixedStorageValue; }
    [[nodiscard]] std::int64_t hiddenFixedStorageCount() const { return hiddenFixedStorageCountValue; }
    [[nodiscard]] bool verifyCopiedImages() const { return verifyCopiedImagesValue; }
    [[nodiscard]] const std::optional<std::vector<HelperImageEntry>>& driveImages() const { return driveImagesValue; }
    [[nodiscard]] const std::shared_ptr<DriveBrowserModel>& browser() const { return browserValue; }
    [[nodiscard]] const std::optional<PendingRawImage>& pendingRawImage() const { return pendingRawImageValue; }
    [[nodiscard]] const std::optional<std::string>& rawWriteBlockedMessage() const { return rawWriteBlockedValue; }
    [[nodiscard]] bool isPickingDisk() const { return isPickingDiskValue; }
    [[nodiscard]] bool isShowingBootGuide() const { return isShowingBootGuideValue; }
    [[nodiscard]] const std::optional<HelperDiskRef>& disk() const { return diskValue; }
    [[nodiscard]] const std::optional<std::string>& selectedDiskName() const { return selectedDiskNameValue; }
    [[nodiscard]] const std::optional<DiagnosticReport>& lastDiagnostics() const { return lastDiagnosticsValue; }
    [[nodiscard]] const std::optional<HomeOperationKind>& uiTestAutoOperation() const { return uiTestAutoValue; }
    [[nodiscard]] int helperListingsInFlight() const { return helperListingsInFlightValue; }
    // What the operation run keeps aside; read by tests and the diagnostics panel.
    [[nodiscard]] const std::optional<HomeDriveState>& stateBeforeOperation() const { return stateBeforeValue; }
    [[nodiscard]] bool isOperationCancelRequested() const { return operationCancelValue->isCancelled(); }
    [[nodiscard]] bool isOperationInFlight() const { return operationTaskValue != nullptr; }
    // Between stopOperation and the end of the run it stops.
    [[nodiscard]] bool isStoppingOperation() const { return stoppingValue; }

    // The release catalog the model installs from.
    [[nodiscard]] const std::shared_ptr<VentoyCatalogModel>& catalogModel() const { return catalog; }

    // The selected drive's display name, else its device name ("sdb"), else "the drive".
    [[nodiscard]] std::string deviceName() const;
    // File access, a drive, no pending confirmation and a ready Ventoy drive.
    [[nodiscard]] bool canBrowseDrive() const;
    // The archive size the confirmation sheet announces as still to download, if any.
    [[nodiscard]] std::optional<std::int64_t> pendingOperationDownloadBytes() const;

    // --- What the views write directly.
    void setIsPickingDisk(bool value);
    void setIsShowingBootGuide(bool value);
    void setAdvancedOptions(AdvancedInstallOptions value);
    void setPendingOperation(std::optional<HomeOperationKind> value);
    void setPendingRawImage(std::optional<PendingRawImage> value);
    void setRawWriteBlockedMessage(std::optional<std::string> value);
    void setBrowser(std::shared_ptr<DriveBrowserModel> value);
    // The UI-test harness only, right after construction.
    void setUiTestAutoOperation(std::optional<HomeOperationKind> value);

    // --- Drives: scanning, selection, detection, settings.
    void refreshDisks();
    void selectDisk(const DiscoveredDisk& disk);
    void presentDiskPicker();
    void detect();
    // Identifies the selected drive afresh, as before a write, and lets it go; a drive that
    // is no longer the one picked is refused: its message shows and the drives are listed again.
    void ejectDrive();
    // Each is ignored when the value is the current one, while an operation runs, or while
    // one waits for confirmation.
    void setDriveVisibility(DriveVisibility value);
    void setIncludeFixedStorage(bool value);
    void setVerifyCopiedImages(bool value);

    // --- Images and the drive browser.
    void refreshDriveImages();
    void openDriveBrowser();
    void closeDriveBrowser();

    // --- Requests, confirmation, cancellation.
    void primaryAction();
    // Ignored while a confirmation is pending or an operation runs. Adding an image and
    // writing a raw image start with a file pick; the other kinds wait for confirmation.
    void requestOperation(HomeOperationKind kind);
    // Starts the operation at once, without confirmation.
    void run(HomeOperationKind kind, std::optional<std::filesystem::path> pickedFile,
             std::optional<HelperVentoyLayout> layout);
    void addAnother();
    void invokeDriveMenuCommand(DriveMenuCommand command);
    void confirmPendingOperation();
    void cancelOperation();
    // What quitting now would ask: none while no operation runs.
    [[nodiscard]] std::optional<QuitQuestion> quitQuestion() const;
    // Quitting: stops the running operation through the cancel latch that cancelOperation
    // sets, but keeps the run, so that its answer (the helper program has exited by then)
    // is recorded and shown as any other; then `stopped` runs on the main thread. Until
    // then the progress shows the question's waiting sentence and late progress is not
    // shown. A run that Cancel already stopped is waited for too; with no run out,
    // `stopped` runs at once.
    void stopOperation(std::function<void()> stopped);
    // The UI-test harness's operation, run once the home screen shows instead of a scan.
    void runUiTestAutoOperation();

    // --- Raw images.
    void beginWriteRawImage();
    void dismissRawWriteBlocked();

    // --- Progress: each report of the running operation, on the main thread.
    void applyAcquisitionPhase(const VentoyAcquisitionPhase& phase, HomeOperationKind kind);
    void applyEngineProgress(const HelperProgress& progress, HomeOperationKind kind);

    // --- Diagnostics.
    void recordDiagnostics(HomeOperationKind kind, const HelperResult& result);
    // The application's version and build and the system's, read once per process.
    [[nodiscard]] static const DiagnosticReport::Environment& diagnosticEnvironment();
    [[nodiscard]] std::optional<DiagnosticReport::DriveSummary> driveSummary() const;

private:
    HomeViewModel(MainExecutor mainExecutor, Arguments arguments);

    // A probe over one listing of the disks, for re-identifying the selected drive.
    struct EnumerationProbe final : HelperDeviceProbe {
        std::vector<DiscoveredDisk> disks;
        explicit EnumerationProbe(std::vector<DiscoveredDisk> listed) : disks(std::move(listed)) {}
        [[nodiscard]] std::optional<DiscoveredDisk> probe(const std::string& bsdName) override;
    };

    using ResultContinuation = std::function<void(const HelperResult&)>;

    // Runs the command on a background job and hands its result to `resume` on the main
    // thread. `resume` is what keeps the model alive meanwhile.
    void runOffMainActor(HelperCommand command, HelperProgressHandler onProgress, HelperCancelCheck isCancelled,
                         ResultContinuation resume);
    // Runs `work` on a background job and hands what it returns to `resume` on the main
    // thread. Throws std::system_error, having run nothing, when no job can be started.
    template <class Value>
    void offMainActor(std::function<Value()> work, std::function<void(Value)> resume);

    void setState(HomeDriveState value);
    void setDisk(std::optional<HelperDiskRef> value);
    void setSelectedDiskName(std::optional<std::string> value);
    void setSelectionFromEnumeration(bool value);
    void setDriveImages(std::optional<std::vector<HelperImageEntry>> value);
    void setHelperListingsInFlight(int value);
    void setLastDiagnostics(DiagnosticReport value);
    void setStateBeforeOperation(std::optional<HomeDriveState> value);
    void setOperationTask(ModelTaskHandle value);
    void clearSelection();

    // The body of a detection; `finished` runs once it has ended, images listed, unless it
    // was cancelled.
    void performDetect(const ModelTaskHandle& task, std::function<void()> finished);
    // Lists the images of `disk` and publishes them while that drive stays selected and
    // ready; `finished` runs when the listing has ended or was dropped.
    void refreshImages(const HelperDiskRef& disk, const HelperVentoyLayout& layout, const ModelTaskHandle& task,
                       std::function<void()> finished);
    void listImagesThroughHelper(const HelperDiskRef& disk, const HelperVentoyLayout& layout,
                                 const ModelTaskHandle& task, std::function<void()> finished);
    [[nodiscard]] bool isShowingReadyDrive(const HelperDiskRef& disk) const;

    [[nodiscard]] std::optional<TargetVerification::Verdict> verifySelection(bool writes);
    void refuseOperation(HomeOperationKind kind, const TargetVerification::Verdict& verdict);
    // Records and logs the refusal under `operation`'s name, drops the selection and what
    // waited for confirmation, shows `shown` and lists the drives afresh.
    void refuseTarget(std::string_view operation, const TargetVerification::Verdict& verdict, HomeDriveState shown);
    void beginAddImage();

    void finishAcquisition(HomeOperationKind kind, const VentoyAcquisitionResult& result);
    void sendCommand(const ModelTaskHandle& task, HomeOperationKind kind, const HelperDiskRef& disk,
                     const std::optional<std::filesystem::path>& pickedFile,
                     const std::optional<HelperVentoyLayout>& layout, const std::optional<HelperAssetRefSet>& assets);
    void finishOperation(HomeOperationKind kind, const HelperResult& result);
    // Puts back the state from before the run (Cancel, or a stop before the drive was reached).
    void restoreStateBeforeOperation();
    // Every end of a run's task, cancelled or not: the end a stop waits for.
    void endOperation(const ModelTaskHandle& task);

    [[nodiscard]] std::string downloadVersion(HomeOperationKind kind) const;

    MainExecutor executor;
    BackgroundStarter startBackground;
    std::function<double()> clock;
    std::shared_ptr<VentoyCatalogModel> catalog;
    ModelObservers<Property> observerList;

    // Stored properties, in declaration order.
    HomeDriveState stateValue;
    std::optional<HomeOperationKind> pendingOperationValue;
    AdvancedInstallOptions advancedOptionsValue;
    std::vector<DiscoveredDisk> availableDisksValue;
    DriveVisibility driveVisibilityValue;
    bool includeFixedStorageValue;
    std::int64_t hiddenFixedStorageCountValue = 0;
    bool verifyCopiedImagesValue;
    std::optional<std::vector<HelperImageEntry>> driveImagesValue;
    std::shared_ptr<DriveBrowserModel> browserValue;
    const ListDriveImages listDriveImages;
    const std::shared_ptr<DriveFileAccess> fileAccess;
    std::optional<PendingRawImage> pendingRawImageValue;
    std::optional<std::string> rawWriteBlockedValue;
    bool isPickingDiskValue = false;
    bool isShowingBootGuideValue = false;
    const std::shared_ptr<HelperEngineRunner> runner;
    std::optional<HelperDiskRef> diskValue;
    std::optional<std::string> selectedDiskNameValue;
    const ListDisks listDisks;
    const PickFile pickImageFile;
    const PickFile pickRawImageFile;
    const EjectDisk ejectDisk;
    const IsAssetCached isAssetCached;
    const AcquireAssets acquireAssets;
    std::optional<DiagnosticReport> lastDiagnosticsValue;
    bool selectionFromEnumeration = false;
    std::optional<HomeDriveState> stateBeforeValue;
    ModelTaskHandle operationTaskValue;
    // Shared with the engine's cancel query on the background job.
    std::shared_ptr<HelperCancelLatch> operationCancelValue = std::make_shared<HelperCancelLatch>();
    std::optional<std::string> operationDetail;
    ThroughputEstimator throughput{0.25, 4};
    std::optional<HelperProgress::Stage> throughputStage;
    ModelTaskHandle detectTask;
    ModelTaskHandle imageRefreshTask;
    std::optional<HomeOperationKind> uiTestAutoValue;
    int helperListingsInFlightValue = 0;
    // The run whose work is still out (also after Cancel), and who waits for its end.
    ModelTaskHandle runInFlight;
    bool stoppingValue = false;
    std::vector<std::function<void()>> stoppedWaiters;
};

template <class Value>
void HomeViewModel::offMainActor(std::function<Value()> work, std::function<void(Value)> resume) {
    auto continuation = std::make_shared<std::function<void(Value)>>(std::move(resume));
    startBackground([work = std::move(work), post = executor, continuation]() mutable {
        Value value = work();
        post([continuation = std::move(continuation), value = std::move(value)] { (*continuation)(value); });
    });
}

}  // namespace marlowick
