// The images on the selected Ventoy drive, from the mounted data partition when the model
// has file access and through the helper program otherwise, and the hand-off of the drive
// to the browser window and back.

#include <system_error>

#include "Home/HomeViewModel.hpp"

namespace marlowick {
namespace {

using ImageList = std::optional<std::vector<HelperImageEntry>>;

}  // namespace

bool HomeViewModel::isShowingReadyDrive(const HelperDiskRef& listed) const {
    // A listing is for the drive it was started on: once another drive is selected (or
    // none), its images are not that drive's.
    return stateValue.is<HomeDriveState::VentoyReady>() && diskValue == listed;
}

void HomeViewModel::refreshDriveImages() {
    const auto* ready = std::get_if<HomeDriveState::VentoyReady>(&stateValue.value);
    if (ready == nullptr || !diskValue) return;
    if (imageRefreshTask) imageRefreshTask->cancel();
    auto task = std::make_shared<ModelTask>();
    observerList.assign(imageRefreshTask, task, Property::imageRefreshTask);
    refreshImages(*diskValue, ready->layout, task, {});
}

void HomeViewModel::refreshImages(const HelperDiskRef& disk, const HelperVentoyLayout& layout,
                                  const ModelTaskHandle& task, std::function<void()> finished) {
    if (!listDriveImages) {
        listImagesThroughHelper(disk, layout, task, std::move(finished));
        return;
    }
    auto self = shared_from_this();
    std::function<ImageList()> work = [list = listDriveImages, disk, layout] { return list(disk, layout); };
    std::function<void(ImageList)> resume = [self, task, disk, layout, finished](ImageList images) {
        if (task->isCancelled()) {
            if (finished) finished();
            return;
        }
        if (!images) {
            // Refused or failed: the helper program reads the drive instead.
            self->listImagesThroughHelper(disk, layout, task, finished);
            return;
        }
        if (self->isShowingReadyDrive(disk)) self->setDriveImages(std::move(images));
        if (finished) finished();
    };
    try {
        offMainActor(std::move(work), std::move(resume));
    } catch (const std::system_error&) {
        listImagesThroughHelper(disk, layout, task, std::move(finished));
    }
}

void HomeViewModel::listImagesThroughHelper(const HelperDiskRef& disk, const HelperVentoyLayout& layout,
                                            const ModelTaskHandle& task, std::function<void()> finished) {
    setHelperListingsInFlight(helperListingsInFlightValue + 1);
    auto self = shared_from_this();
    runOffMainActor(
        HelperCommand{HelperCommand::ListImages{disk, layout}}, [](const HelperProgress&) {}, [] { return false; },
        [self, task, disk, finished = std::move(finished)](const HelperResult& result) {
            self->setHelperListingsInFlight(self->helperListingsInFlightValue - 1);
            if (!task->isCancelled() && self->isShowingReadyDrive(disk)) {
                const auto* listing = std::get_if<HelperResult::ImageListing>(&result.value);
                const auto* success =
                    listing == nullptr ? nullptr : std::get_if<HelperImageListing::Success>(&listing->listing.value);
                if (success == nullptr) {
                    self->setDriveImages(std::nullopt);
                } else {
                    std::vector<HelperImageEntry> files;
                    for (const HelperImageEntry& entry : success->images) {
                        if (!entry.isDirectory) files.push_back(entry);
                    }
                    self->setDriveImages(std::move(files));
                }
            }
            if (finished) finished();
        });
}

void HomeViewModel::openDriveBrowser() {
    if (!canBrowseDrive()) return;
    const auto& ready = std::get<HomeDriveState::VentoyReady>(stateValue.value);
    auto opened = DriveBrowserModel::create(fileAccess, *diskValue, ready.layout, deviceName(), executor,
                                            startBackground);
    setBrowser(opened);
    opened->reload();
}

void HomeViewModel::closeDriveBrowser() {
    std::shared_ptr<DriveBrowserModel> closing = browserValue;
    setBrowser(nullptr);
    if (!closing) return;
    // A delete may still run when the browser goes: its end, not this moment, says whether
    // the drive changed. The images are listed again only while that drive is selected.
    std::weak_ptr<HomeViewModel> weakSelf = shared_from_this();
    closing->close([weakSelf, changed = closing->disk()] {
        const auto self = weakSelf.lock();
        if (self && self->diskValue == changed) self->refreshDriveImages();
    });
}

}  // namespace marlowick
