// Scanning the attached drives, selecting one, detecting what it holds, ejecting it once it
// is identified again, and the visibility settings that decide which drives a scan offers.

#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {
namespace {

// The name a refused eject is recorded under in the diagnostics.
constexpr std::string_view ejectOperationName = "Eject";

// A data partition whose free or total size could not be read comes back as a negative
// count; the screen would show it as a size. Such a usage is taken as not known.
HomeDriveState withKnownUsage(HomeDriveState state) {
    if (auto* ready = std::get_if<HomeDriveState::VentoyReady>(&state.value)) {
        if (ready->usage && (ready->usage->freeBytes < 0 || ready->usage->totalBytes < 0)) ready->usage.reset();
    }
    return state;
}

}  // namespace

std::optional<DiscoveredDisk> HomeViewModel::EnumerationProbe::probe(const std::string& bsdName) {
    for (const DiscoveredDisk& disk : disks) {
        if (disk.bsdName == bsdName) return disk;
    }
    return std::nullopt;
}

void HomeViewModel::refreshDisks() {
    const std::vector<DiscoveredDisk> listed = listDisks();
    std::vector<DiscoveredDisk> eligible =
        DiscoveredDisk::eligibleTargets(listed, driveVisibilityValue, includeFixedStorageValue);
    const auto eligibleCount = static_cast<std::int64_t>(eligible.size());
    observerList.assign(availableDisksValue, std::move(eligible), Property::availableDisks);

    std::int64_t hidden = 0;
    if (!includeFixedStorageValue) {
        const auto withFixed = static_cast<std::int64_t>(
            DiscoveredDisk::eligibleTargets(listed, driveVisibilityValue, true).size());
        hidden = withFixed - eligibleCount;
    }
    observerList.assign(hiddenFixedStorageCountValue, hidden, Property::hiddenFixedStorageCount);
    MarlowickLog::enumerated(static_cast<std::int64_t>(listed.size()), eligibleCount, driveVisibilityValue);

    if (availableDisksValue.empty()) {
        if (diskValue) {
            // Perhaps unplugged: the detection's answer says so.
            detect();
        } else {
            clearSelection();
            setState(HomeDriveState::NoDrive{});
        }
        return;
    }
    if (availableDisksValue.size() == 1 && !availableDisksValue.front().isFixedStorage()) {
        const DiscoveredDisk only = availableDisksValue.front();
        selectDisk(only);
        return;
    }
    if (diskValue) {
        for (const DiscoveredDisk& offered : availableDisksValue) {
            if (offered.rawDevicePath() == diskValue->rawDevicePath) {
                detect();
                return;
            }
        }
    }
    clearSelection();
    setIsPickingDisk(true);
    setState(HomeDriveState::NoDrive{});
}

void HomeViewModel::selectDisk(const DiscoveredDisk& chosen) {
    HelperDiskRef reference(chosen);
    const DeviceFingerprint::Strength strength =
        reference.fingerprint ? reference.fingerprint->strength() : DeviceFingerprint::Strength::capacityOnly;
    setDisk(std::move(reference));
    setSelectedDiskName(chosen.name);
    setSelectionFromEnumeration(true);
    MarlowickLog::selectedDrive(chosen.bsdName, chosen.geometry.capacityBytes, strength);
    setIsPickingDisk(false);
    detect();
}

void HomeViewModel::presentDiskPicker() {
    if (stateValue.is<HomeDriveState::OperationRunning>() || pendingOperationValue) return;
    setIsPickingDisk(true);
}

void HomeViewModel::detect() {
    if (detectTask) detectTask->cancel();
    auto task = std::make_shared<ModelTask>();
    observerList.assign(detectTask, task, Property::detectTask);
    performDetect(task, {});
}

void HomeViewModel::performDetect(const ModelTaskHandle& task, std::function<void()> finished) {
    setDriveImages(std::nullopt);
    if (!diskValue) {
        setState(HomeDriveState::NoDrive{});
        if (finished) finished();
        return;
    }
    setState(HomeDriveState::Detecting{});
    const HelperDiskRef detected = *diskValue;
    auto self = shared_from_this();
    runOffMainActor(
        HelperCommand{HelperCommand::Detect{detected}}, [](const HelperProgress&) {}, [] { return false; },
        [self, task, detected, finished = std::move(finished)](const HelperResult& result) {
            if (task->isCancelled()) return;
            // The drive was let go meanwhile (ejected): its answer no longer belongs on screen.
            if (self->diskValue != detected) return;
            const std::vector<std::string> details = result.diagnosticDetails();
            MarlowickLog::detected(TargetVerification::wholeDiskBSDName(detected.rawDevicePath).value_or("?"),
                                   details.empty() ? result.diagnosticOutcome() : details.front());
            self->setState(withKnownUsage(HomeDriveState::fromDetect(result)));
            const auto* ready = std::get_if<HomeDriveState::VentoyReady>(&self->stateValue.value);
            if (ready == nullptr) {
                if (finished) finished();
                return;
            }
            self->refreshImages(detected, ready->layout, task, [task, finished] {
                if (!task->isCancelled() && finished) finished();
            });
        });
}

void HomeViewModel::ejectDrive() {
    if (!diskValue || stateValue.is<HomeDriveState::OperationRunning>() || pendingOperationValue) return;
    // The stick may have been swapped for another that took the same device name: eject
    // only the drive that was picked, identified as a write identifies it.
    if (const auto verdict = verifySelection(true)) {
        setDriveImages(std::nullopt);
        refuseTarget(ejectOperationName, *verdict, HomeDriveState::Error{userMessage(*verdict)});
        return;
    }
    if (ejectDisk) ejectDisk(*diskValue);
    clearSelection();
    setDriveImages(std::nullopt);
    setState(HomeDriveState::NoDrive{});
}

void HomeViewModel::setDriveVisibility(DriveVisibility value) {
    if (value == driveVisibilityValue || stateValue.is<HomeDriveState::OperationRunning>() || pendingOperationValue) {
        return;
    }
    observerList.assign(driveVisibilityValue, value, Property::driveVisibility);
    refreshDisks();
}

void HomeViewModel::setIncludeFixedStorage(bool value) {
    if (value == includeFixedStorageValue || stateValue.is<HomeDriveState::OperationRunning>() ||
        pendingOperationValue) {
        return;
    }
    observerList.assign(includeFixedStorageValue, value, Property::includeFixedStorage);
    refreshDisks();
}

void HomeViewModel::setVerifyCopiedImages(bool value) {
    if (value == verifyCopiedImagesValue || stateValue.is<HomeDriveState::OperationRunning>() ||
        pendingOperationValue) {
        return;
    }
    observerList.assign(verifyCopiedImagesValue, value, Property::verifyCopiedImages);
}

}  // namespace marlowick
