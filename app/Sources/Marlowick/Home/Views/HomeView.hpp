#pragma once
// The main window's one view: it renders the home model in every drive state. A hero card
// with the state's symbol, title, subtitle and main action, the drive row below it, the
// progress screen in place of the hero while an operation runs, the phone-app panel beside
// it after a successful preparation, and the sheets and the alert the model opens. It holds
// no logic beyond choosing what to show: every button calls a model operation, and every
// sheet is bound to one model property, so that closing it by any means clears that
// property, and clearing the property closes it.
//
// Main thread only. It follows the model's announcements and redraws on the next turn of
// the event loop, so a button's own click never deletes the button under it.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QWidget>

#include "Design/BrandColor.hpp"
#include "Design/BrandFont.hpp"
#include "Diagnostics/DiagnosticReport.hpp"
#include "Home/HomeHeroPresentation.hpp"
#include "Home/HomeViewModel.hpp"
#include "Home/VentoyCatalogModel.hpp"

class QDialog;
class QHBoxLayout;
class QMessageBox;
class QPushButton;
class QScrollArea;

namespace marlowick {

class BrandHeader;
class HomeBackground;
class OperationProgressView;
class OperationConfirmationView;

namespace ui {
class Sheet;
}

// The panels and sheets the home view composes. Each makes its widget, or returns null
// when that panel is not part of this build; the view then leaves its place empty (and a
// sheet without a panel is not opened).
struct HomeViewPanels {
    // The drive picker over the eligible drives; a sheet over `window`.
    std::function<ui::Sheet*(QWidget& window, HomeViewModel& model)> drivePicker;
    // The boot guide; a sheet over `window`, closed by `onClose`.
    std::function<ui::Sheet*(QWidget& window, std::function<void()> onClose)> bootGuide;
    // The drive browser over the model's open browser; a window-modal dialog over `window`.
    std::function<QDialog*(QWidget& window, HomeViewModel& model)> driveBrowser;
    // The card about a ready Ventoy drive.
    std::function<QWidget*(HomeViewModel& model, const HomeDriveState::VentoyReady& ready)> driveInfo;
    // The images on a ready drive, with refresh and (when the drive may be browsed) browse.
    std::function<QWidget*(HomeViewModel& model, const std::vector<HelperImageEntry>& images)> driveImages;
    // What the last failed operation recorded.
    std::function<QWidget*(const DiagnosticReport& report)> diagnostics;
    // The phone-app panel beside the content.
    std::function<QWidget*(bool continueOnPhone)> phoneApp;
};

// The panels of this application.
[[nodiscard]] HomeViewPanels standardHomePanels();

class HomeView : public QWidget {
    Q_OBJECT
public:
    HomeView(std::shared_ptr<HomeViewModel> model, HomeViewPanels panels = standardHomePanels(),
             QWidget* parent = nullptr);
    ~HomeView() override;

    [[nodiscard]] const std::shared_ptr<HomeViewModel>& model() const { return homeModel; }

    // Redraws now what is due (tests; the event loop does it otherwise).
    void renderPending();

    // The drive's capacity in bytes (sectors × sector size); none without a drive.
    [[nodiscard]] static std::optional<std::int64_t> capacity(const HomeViewModel& model);
    // The backdrop's accent of the state.
    [[nodiscard]] static BrandColor backdropAccent(const HomeDriveState& state, const std::string& recommendedVersion);
    // A successful prepare, reinstall or update: the phone-app panel invites to go on.
    [[nodiscard]] static bool continueOnPhone(const HomeDriveState& state);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct SheetSlot;

    void observe(HomeViewModel::Property property);
    void scheduleRender();
    void render();
    void renderContent();
    void renderSheets();
    void renderAlert();
    void openSheet(SheetSlot& slot);
    void closeSheet(SheetSlot& slot);
    // Makes an open sheet again in the appearance now in force; the model keeps it presented.
    void remakeSheet(SheetSlot& slot);
    [[nodiscard]] QWidget* makeHero();
    // A link of the hero, bound to the model's operation of its role.
    [[nodiscard]] QPushButton* actionLink(QWidget* parent, const HomeHeroPresentation::Link& entry, BrandFont font,
                                          BrandColor tint);
    [[nodiscard]] ui::Sheet* makeConfirmation(QWidget& window);

    std::shared_ptr<HomeViewModel> homeModel;
    std::shared_ptr<VentoyCatalogModel> catalog;
    HomeViewPanels panels;
    std::size_t modelSubscription = 0;
    std::size_t catalogSubscription = 0;
    bool renderQueued = false;
    bool contentDirty = true;
    Appearance contentAppearance = Appearance::light;  // the one the content was made in
    bool appeared = false;

    HomeBackground* backdrop = nullptr;
    BrandHeader* header = nullptr;
    QHBoxLayout* row = nullptr;
    QScrollArea* scroll = nullptr;
    QWidget* phonePanel = nullptr;
    std::optional<bool> phonePanelFlag;
    OperationProgressView* progress = nullptr;
    std::vector<std::unique_ptr<SheetSlot>> sheets;
    SheetSlot* confirmation = nullptr;
    OperationConfirmationView* confirmationView = nullptr;
    QMessageBox* alert = nullptr;
};

}  // namespace marlowick
