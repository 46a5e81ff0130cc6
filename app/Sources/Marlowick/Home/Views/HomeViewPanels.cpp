// The panels the home view composes in this application. A panel that is not listed here
// leaves its place in the home view empty.

#include "Home/Views/BootGuideView.hpp"
#include "Home/Views/DiagnosticsView.hpp"
#include "Home/Views/DriveBrowserView.hpp"
#include "Home/Views/DriveImagesView.hpp"
#include "Home/Views/DriveInfoView.hpp"
#include "Home/Views/DrivePickerView.hpp"
#include "Home/Views/GetMobileAppView.hpp"
#include "Home/Views/HomeView.hpp"

namespace marlowick {

HomeViewPanels standardHomePanels() {
    HomeViewPanels panels;
    panels.drivePicker = [](QWidget& window, HomeViewModel& model) -> ui::Sheet* {
        std::weak_ptr<HomeViewModel> weak = model.shared_from_this();
        auto* picker = new DrivePickerView(
            window, model.availableDisks(),
            [weak](const DiscoveredDisk& disk) {
                if (auto held = weak.lock()) held->selectDisk(disk);
            },
            [weak] {
                if (auto held = weak.lock()) held->refreshDisks();
            },
            [weak] {
                if (auto held = weak.lock()) held->setIsPickingDisk(false);
            });
        // A rescan from the picker shows its new list in the open sheet.
        const std::size_t subscription = model.observers().subscribe([picker, weak](HomeViewModel::Property property) {
            if (property != HomeViewModel::Property::availableDisks) return;
            if (auto held = weak.lock()) picker->setDisks(held->availableDisks());
        });
        QObject::connect(picker, &QObject::destroyed, [weak, subscription] {
            if (auto held = weak.lock()) held->observers().unsubscribe(subscription);
        });
        return picker;
    };
    panels.bootGuide = [](QWidget& window, std::function<void()> onClose) -> ui::Sheet* {
        return new BootGuideView(window, std::move(onClose));
    };
    panels.driveBrowser = [](QWidget& window, HomeViewModel& model) -> QDialog* {
        if (!model.browser()) return nullptr;
        auto* browser = new DriveBrowserView(model.browser(), &window);
        browser->setWindowModality(Qt::WindowModal);
        return browser;
    };
    panels.driveInfo = [](HomeViewModel& model, const HomeDriveState::VentoyReady& ready) -> QWidget* {
        return new DriveInfoView(model.deviceName(), ready.layout, ready.installedVersion, ready.usage,
                                 model.catalogModel());
    };
    panels.driveImages = [](HomeViewModel& model, const std::vector<HelperImageEntry>& images) -> QWidget* {
        std::weak_ptr<HomeViewModel> weak = model.shared_from_this();
        DriveImagesView::Action browse;
        if (model.canBrowseDrive()) {
            browse = [weak] {
                if (auto held = weak.lock()) held->openDriveBrowser();
            };
        }
        return new DriveImagesView(
            images,
            [weak] {
                if (auto held = weak.lock()) held->refreshDriveImages();
            },
            std::move(browse));
    };
    panels.diagnostics = [](const DiagnosticReport& report) -> QWidget* { return new DiagnosticsView(report); };
    panels.phoneApp = [](bool continueOnPhone) -> QWidget* { return new GetMobileAppView(continueOnPhone); };
    return panels;
}

}  // namespace marlowick
