#include "Home/Views/HomeView.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "Design/BrandCard.hpp"
#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "Home/HomeHeroPresentation.hpp"
#include "Home/OperationConfirmationPresentation.hpp"
#include "Home/VentoyUpdatePresentation.hpp"
#include "Home/Views/DriveContextViews.hpp"
#include "Home/HomeStatePresentation.hpp"
#include "Home/Views/OperationConfirmationView.hpp"
#include "Home/Views/OperationProgressView.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Home/Views/ViewKit.hpp"
#include "UI/Accessibility.hpp"
#include "UI/ApplicationLook.hpp"
#include "UI/BrandHeader.hpp"
#include "UI/HomeBackground.hpp"
#include "UI/PlainText.hpp"
#include "UI/Sheet.hpp"

namespace marlowick {
namespace {

using State = HomeDriveState;
using Property = HomeViewModel::Property;
using Kind = HomeOperationKind;

// The hero's narrowest: the card and the padding around it.
constexpr int heroMinimumWidth = 520;
// The brand header's place: 20 from the leading edge, 40 from the top, and the room kept
// between it and the content scrolling below it.
constexpr int headerLeading = 20;
constexpr int headerTop = 40;
constexpr int headerClearance = 12;

// The state's symbol on a tinted disc with a ring of the same colour. Decoration.
class StateIcon : public QWidget {
public:
    StateIcon(std::string symbol, BrandColor tint, QWidget* parent) : QWidget(parent), name(std::move(symbol)), color(tint) {
        setFixedSize(108, 108);
        ui::hideFromAccessibility(*this);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF disc = QRectF(rect()).adjusted(1, 1, -1, -1);
        painter.setPen(QPen(BrandStyle::color(color, 0.32), 1.5));
        painter.setBrush(BrandStyle::color(color, 0.18));
        painter.drawEllipse(disc);
        const int size = 52;
        const QPixmap icon = SymbolIcons::tinted(name, size, BrandStyle::color(color), devicePixelRatioF());
        painter.drawPixmap(QRect((width() - size) / 2, (height() - size) / 2, size, size), icon);
    }

private:
    std::string name;
    BrandColor color;
};

QHBoxLayout* linkRow(QVBoxLayout& into, int spacing) {
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    row->addStretch(1);
    into.addLayout(row);
    return row;
}

void closeRow(QHBoxLayout& row) { row.addStretch(1); }

QPushButton* link(QWidget* parent, const HomeHeroPresentation::Link& entry, BrandFont font, BrandColor tint) {
    QPushButton* button = viewkit::linkButton(entry.title, font, entry.destructive ? BrandColor::errorText : tint, parent);
    ui::identify(*button, entry.identifier, entry.accessibilityLabel.empty() ? entry.title : entry.accessibilityLabel,
                 entry.accessibilityHint);
    if (entry.emphasised) {
        QFont semibold = button->font();
        semibold.setWeight(QFont::DemiBold);
        button->setFont(semibold);
    }
    return button;
}

bool holdsKind(const std::optional<Kind>& kind, std::initializer_list<Kind> kinds) {
    if (!kind) return false;
    for (Kind candidate : kinds) {
        if (*kind == candidate) return true;
    }
    return false;
}

}  // namespace

struct HomeView::SheetSlot {
    std::function<bool()> presented;
    std::function<void()> dismiss;  // writes "closed" into the model
    std::function<QDialog*(QWidget& window)> make;
    QPointer<QDialog> sheet;
    Appearance appearance = Appearance::light;  // the one `sheet` was made in
};

std::optional<std::int64_t> HomeView::capacity(const HomeViewModel& model) {
    if (!model.disk()) return std::nullopt;
    return model.disk()->sectorCount * model.disk()->sectorSize;
}

BrandColor HomeView::backdropAccent(const HomeDriveState& state, const std::string& recommendedVersion) {
    if (const auto* ready = std::get_if<State::VentoyReady>(&state.value)) {
        return VentoyUpdatePresentation(ready->installedVersion, recommendedVersion).offersUpdate()
                   ? BrandColor::accent
                   : BrandColor::successText;
    }
    if (state.is<State::Incompatible>() || state.is<State::Unreadable>()) return BrandColor::warningText;
    if (state.is<State::Error>()) return BrandColor::errorText;
    if (const auto* done = std::get_if<State::Done>(&state.value)) {
        return done->outcome.isSuccess() ? BrandColor::successText : BrandColor::errorText;
    }
    return BrandColor::primary;
}

bool HomeView::continueOnPhone(const HomeDriveState& state) {
    const auto* done = std::get_if<State::Done>(&state.value);
    return done != nullptr && done->outcome.isSuccess() &&
           (done->kind == Kind::prepare || done->kind == Kind::reinstall || done->kind == Kind::update);
}

HomeView::HomeView(std::shared_ptr<HomeViewModel> model, HomeViewPanels givenPanels, QWidget* parent)
    : QWidget(parent), homeModel(std::move(model)), catalog(homeModel->catalogModel()), panels(std::move(givenPanels)) {
    setObjectName(QStringLiteral("home.view"));
    setMinimumSize(heroMinimumWidth, 560);

    backdrop = new HomeBackground(BrandStyle::color(BrandColor::primary), this);
    backdrop->setObjectName(QStringLiteral("home.backdrop"));

    row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // The brand header has its own strip at the top of the content column, and the content
    // scrolls below it: nothing is ever drawn under the header.
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header = new BrandHeader(46, this);
    header->setObjectName(QStringLiteral("home.brandHeader"));
    ui::hideFromAccessibility(*header);
    auto* headerStrip = new QHBoxLayout;
    headerStrip->setContentsMargins(headerLeading, headerTop, 0, headerClearance);
    headerStrip->addWidget(header);
    headerStrip->addStretch(1);
    column->addLayout(headerStrip);
    scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("home.content"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    // Not a control: Tab goes to what the page holds, and the page scrolls to show it.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->viewport()->setAutoFillBackground(false);
    column->addWidget(scroll, 1);
    row->addLayout(column, 1);

    // The sheets, each bound to its one model property.
    auto slot = [this](std::function<bool()> presented, std::function<void()> dismiss,
                       std::function<QDialog*(QWidget&)> make) {
        sheets.push_back(std::make_unique<SheetSlot>(SheetSlot{std::move(presented), std::move(dismiss), std::move(make), {}}));
        return sheets.back().get();
    };
    confirmation = slot(
        [this] { return homeModel->pendingOperation().has_value(); },
        [this] {
            if (homeModel->pendingOperation()) homeModel->setPendingOperation(std::nullopt);
            homeModel->setPendingRawImage(std::nullopt);
        },
        [this](QWidget& window) { return makeConfirmation(window); });
    slot([this] { return homeModel->isPickingDisk(); },
         [this] {
             if (homeModel->isPickingDisk()) homeModel->setIsPickingDisk(false);
         },
         [this](QWidget& window) -> ui::Sheet* {
             return panels.drivePicker ? panels.drivePicker(window, *homeModel) : nullptr;
         });
    slot([this] { return homeModel->browser() != nullptr; }, [this] { homeModel->closeDriveBrowser(); },
         [this](QWidget& window) -> QDialog* {
             return panels.driveBrowser ? panels.driveBrowser(window, *homeModel) : nullptr;
         });
    slot([this] { return homeModel->isShowingBootGuide(); },
         [this] {
             if (homeModel->isShowingBootGuide()) homeModel->setIsShowingBootGuide(false);
         },
         [this](QWidget& window) -> ui::Sheet* {
             if (!panels.bootGuide) return nullptr;
             return panels.bootGuide(window, [model = homeModel] { model->setIsShowingBootGuide(false); });
         });

    modelSubscription = homeModel->observers().subscribe([this](Property property) { observe(property); });
    catalogSubscription = catalog->observers().subscribe([this](VentoyCatalogModel::Property) {
        contentDirty = true;
        scheduleRender();
    });
    render();
}

HomeView::~HomeView() {
    homeModel->observers().unsubscribe(modelSubscription);
    catalog->observers().unsubscribe(catalogSubscription);
    for (const auto& slot : sheets) {
        if (slot->sheet) {
            slot->sheet->disconnect(this);
            delete slot->sheet.data();
        }
    }
}

void HomeView::observe(Property property) {
    switch (property) {
        // What the hero, the drive row, the sheets and the alert show.
        case Property::state:
        case Property::pendingOperation:
        case Property::availableDisks:
        case Property::hiddenFixedStorageCount:
        case Property::driveImages:
        case Property::browser:
        case Property::pendingRawImage:
        case Property::rawWriteBlockedMessage:
        case Property::isPickingDisk:
        case Property::isShowingBootGuide:
        case Property::disk:
        case Property::selectedDiskName:
        case Property::lastDiagnostics:
        case Property::uiTestAutoOperation:
        case Property::operationStopping:
            contentDirty = true;
            scheduleRender();
            return;
        case Property::advancedOptions:
            // The sheet follows the options it edits; the hero does not show them.
            if (confirmationView != nullptr) confirmationView->sync();
            return;
        default:
            // The rest (what the running operation keeps for itself, the scan's settings)
            // shows through the state alone.
            return;
    }
}

void HomeView::scheduleRender() {
    if (renderQueued) return;
    renderQueued = true;
    QTimer::singleShot(0, this, [this] { render(); });
}

void HomeView::renderPending() {
    if (renderQueued) render();
}

void HomeView::render() {
    renderQueued = false;
    if (contentDirty) renderContent();
    contentDirty = false;
    renderSheets();
    renderAlert();
}

void HomeView::renderContent() {
    contentAppearance = BrandStyle::currentAppearance();
    const HomeDriveState& state = homeModel->state();
    backdrop->setAccent(BrandStyle::color(backdropAccent(state, catalog->recommended().version())));

    // Focus stays on the element of the same name when the content is made again.
    QString focused;
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && scroll->isAncestorOf(focus)) {
        focused = focus->objectName();
    }

    bool replaced = true;
    if (const auto* running = std::get_if<State::OperationRunning>(&state.value)) {
        if (progress != nullptr && progress->kind() == running->kind) {
            progress->setProgress(running->progress);
            replaced = false;
        } else {
            const bool chosenRelease = holdsKind(running->kind, {Kind::prepare, Kind::reinstall, Kind::removeVentoy});
            const std::optional<std::string> version =
                chosenRelease ? std::optional(homeModel->advancedOptions().selectedVentoyVersion) : std::nullopt;
            progress = new OperationProgressView(
                running->kind, running->progress, version, *catalog->catalog(),
                [model = homeModel] { model->cancelOperation(); },
                OperationProgressView::Target{homeModel->deviceName(), capacity(*homeModel).value_or(-1)});
            QWidget* old = scroll->takeWidget();
            scroll->setWidget(progress);
            if (old != nullptr) old->deleteLater();
        }
        progress->setStopping(homeModel->isStoppingOperation());
    } else {
        progress = nullptr;
        QWidget* hero = makeHero();
        QWidget* old = scroll->takeWidget();
        scroll->setWidget(hero);
        if (old != nullptr) old->deleteLater();
    }
    scroll->widget()->setAutoFillBackground(false);
    if (!focused.isEmpty()) {
        const auto matches = scroll->widget()->findChildren<QWidget*>(focused);
        if (!matches.isEmpty()) matches.front()->setFocus(Qt::OtherFocusReason);
    }

    const bool flag = continueOnPhone(state);
    // Tab visits controls in the order they were made: a panel made before the content that
    // replaced it would come first, so it is made again after it.
    if (phonePanelFlag != flag || replaced) {
        phonePanelFlag = flag;
        if (phonePanel != nullptr) {
            row->removeWidget(phonePanel);
            phonePanel->deleteLater();
            phonePanel = nullptr;
        }
        if (panels.phoneApp) phonePanel = panels.phoneApp(flag);
        if (phonePanel != nullptr) row->addWidget(phonePanel, 0);
        // At its narrowest the window still shows the hero whole beside the panel; what is
        // too tall for it scrolls.
        setMinimumWidth(heroMinimumWidth + scroll->verticalScrollBar()->sizeHint().width() +
                        (phonePanel != nullptr ? phonePanel->minimumSizeHint().width() : 0));
    }
}

QWidget* HomeView::makeHero() {
    HomeViewModel& model = *homeModel;
    const HomeDriveState& state = model.state();
    const HomeStatePresentation presentation(state);
    const std::optional<std::int64_t> driveBytes = capacity(model);
    const HomeHeroPresentation parts(
        state, HomeHeroPresentation::Inputs{
                   .recommendedVersion = catalog->recommended().version(),
                   .capacityBytes = driveBytes,
                   .hasDisk = model.disk().has_value(),
                   .deviceName = model.deviceName(),
                   .availableDiskCount = model.availableDisks().size(),
                   .hiddenFixedStorageCount = model.hiddenFixedStorageCount(),
                   .hasDiagnostics = model.lastDiagnostics().has_value(),
                   .stateHasDriveStatus = presentation.contextStatus.has_value(),
                   .primaryActionErases = presentation.primaryAction && presentation.primaryAction->isDestructive,
               });

    auto* hero = new QWidget;
    ui::identify(*hero, "home.root");
    hero->setMinimumSize(heroMinimumWidth, 560);
    QVBoxLayout* column = viewkit::screenColumn(*hero);

    auto* icon = new StateIcon(presentation.systemImage, presentation.iconColor, hero);
    icon->setObjectName(QStringLiteral("home.hero.icon"));
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto* card = new BrandCard(16, hero);
    card->setObjectName(QStringLiteral("home.hero.card"));
    card->setFixedWidth(440);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(28, 28, 28, 28);
    rows->setSpacing(20);
    viewkit::addCentred(*column, card);

    // 1. The drive and its status.
    if (parts.showsDriveHeader) {
        rows->addWidget(new DriveContextHeader(model.deviceName(), driveBytes.value_or(-1), *presentation.contextStatus, card));
    }

    // 2. Title, subtitle and the explanation link.
    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    QLabel* title = views::styledLabel(presentation.title, BrandFont::heroTitle, BrandColor::textHeading, card);
    title->setAlignment(Qt::AlignHCenter);
    ui::identify(*title, "home.hero.title", presentation.title, "heading");
    texts->addWidget(title);
    if (presentation.subtitle) {
        QLabel* subtitle = views::styledLabel(*presentation.subtitle, BrandFont::body, BrandColor::textMuted, card);
        subtitle->setAlignment(Qt::AlignHCenter);
        ui::identify(*subtitle, "home.hero.subtitle", *presentation.subtitle);
        texts->addWidget(subtitle);
    }
    if (presentation.detail) texts->addWidget(new StateInfoLink(*presentation.detail, card), 0, Qt::AlignHCenter);
    rows->addLayout(texts);

    // 3. What a failed operation recorded.
    if (parts.showsDiagnostics && panels.diagnostics) {
        if (QWidget* diagnostics = panels.diagnostics(*model.lastDiagnostics())) rows->addWidget(diagnostics);
    }

    // 4. A large drive is named before an erasing action.
    if (parts.showsLargeDriveCaution) {
        rows->addWidget(new LargeDriveCautionBanner(*driveBytes, "home.hero.largeDriveCaution", card));
    }

    // 5. What a ready drive holds.
    if (const auto* ready = std::get_if<State::VentoyReady>(&state.value); ready != nullptr && parts.showsDriveContents) {
        if (panels.driveInfo) {
            if (QWidget* info = panels.driveInfo(model, *ready)) rows->addWidget(info);
        }
        if (model.driveImages() && panels.driveImages) {
            if (QWidget* images = panels.driveImages(model, *model.driveImages())) rows->addWidget(images);
        }
    }

    // 6. The state's main action.
    if (presentation.primaryAction) {
        const HomeStatePresentation::Action& action = *presentation.primaryAction;
        QPushButton* button = viewkit::prominentButton(
            action.label, action.isDestructive ? BrandColor::errorSolid : BrandColor::primary, card);
        ui::identify(*button, "home.primaryAction", action.accessibilityLabel, action.accessibilityHint.value_or(""));
        button->setMinimumWidth(160);
        // Return opens the next step; nothing here erases without the sheet's own confirmation.
        button->setShortcut(QKeySequence(Qt::Key_Return));
        connect(button, &QPushButton::clicked, this, [model = homeModel] { model->primaryAction(); });
        rows->addWidget(button, 0, Qt::AlignHCenter);
    }

    // 7. Secondary actions.
    if (!parts.secondaryLinks.empty()) {
        QHBoxLayout* secondary = linkRow(*rows, 16);
        for (const HomeHeroPresentation::Link& entry : parts.secondaryLinks) {
            secondary->addWidget(actionLink(card, entry, BrandFont::body, BrandColor::primary));
        }
        closeRow(*secondary);
    }

    // The drive row under the card.
    if (parts.driveRow != HomeHeroPresentation::DriveRow::none) {
        const bool finding = parts.driveRow == HomeHeroPresentation::DriveRow::findDrive;
        auto* driveRow = new QVBoxLayout;
        if (finding) driveRow->setSpacing(12);
        QHBoxLayout* links = linkRow(*driveRow, 16);
        for (const HomeHeroPresentation::Link& entry : parts.driveLinks) {
            links->addWidget(finding ? actionLink(hero, entry, BrandFont::body, BrandColor::primary)
                                     : actionLink(hero, entry, BrandFont::callout, BrandColor::textMuted));
        }
        closeRow(*links);
        if (parts.hiddenFixedStorageNotice) {
            const std::string& notice = *parts.hiddenFixedStorageNotice;
            QLabel* hidden = views::styledLabel(notice, BrandFont::caption, BrandColor::textMuted, hero);
            hidden->setAlignment(Qt::AlignHCenter);
            hidden->setFixedWidth(440);  // the card's width
            ui::identify(*hidden, "home.drive.hiddenFixedStorage", notice);
            viewkit::addCentred(*driveRow, hidden);
        }
        column->addLayout(driveRow);
    }
    return hero;
}

QPushButton* HomeView::actionLink(QWidget* parent, const HomeHeroPresentation::Link& entry, BrandFont font,
                                  BrandColor tint) {
    using Role = HomeHeroPresentation::Role;
    QPushButton* button = link(parent, entry, font, tint);
    connect(button, &QPushButton::clicked, this, [model = homeModel, role = entry.role] {
        switch (role) {
            case Role::update: model->requestOperation(Kind::update); return;
            case Role::removeVentoy: model->requestOperation(Kind::removeVentoy); return;
            case Role::tryAgain: model->detect(); return;
            case Role::addImage: model->addAnother(); return;
            case Role::bootGuide: model->setIsShowingBootGuide(true); return;
            case Role::rescan: model->refreshDisks(); return;
            case Role::chooseDrive: model->presentDiskPicker(); return;
        }
    });
    return button;
}

ui::Sheet* HomeView::makeConfirmation(QWidget& window) {
    HomeViewModel& model = *homeModel;
    if (!model.pendingOperation()) return nullptr;
    const std::optional<std::int64_t> driveBytes = capacity(model);
    OperationConfirmationView::Inputs inputs{
        .kind = *model.pendingOperation(),
        .deviceName = model.deviceName(),
        .deviceCapacityBytes = driveBytes.value_or(0),
        .showsLargeDriveCaution =
            OperationConfirmationPresentation::showsLargeDriveCaution(*model.pendingOperation(), driveBytes),
        .downloadHeadsUpBytes = model.pendingOperationDownloadBytes(),
        .rawImage = model.pendingRawImage(),
        .options = {[model = homeModel] { return model->advancedOptions(); },
                    [model = homeModel](AdvancedInstallOptions value) { model->setAdvancedOptions(std::move(value)); }},
        .onConfirm = [model = homeModel] { model->confirmPendingOperation(); },
        .onCancel =
            [model = homeModel] {
                if (model->pendingOperation()) model->setPendingOperation(std::nullopt);
                model->setPendingRawImage(std::nullopt);
            },
    };
    auto* sheet = new OperationConfirmationView(window, std::move(inputs), catalog);
    confirmationView = sheet;
    connect(sheet, &QObject::destroyed, this, [this] { confirmationView = nullptr; });
    return sheet;
}

void HomeView::renderSheets() {
    const Appearance appearance = BrandStyle::currentAppearance();
    for (const auto& slot : sheets) {
        const bool want = slot->presented();
        if (want && !slot->sheet) {
            openSheet(*slot);
        } else if (!want && slot->sheet) {
            closeSheet(*slot);
        } else if (want && slot->appearance != appearance) {
            // A sheet's texts and fills carry the brand colours it was made in.
            remakeSheet(*slot);
        }
    }
}

void HomeView::openSheet(SheetSlot& slot) {
    QDialog* sheet = slot.make(*window());
    if (sheet == nullptr) return;
    slot.sheet = sheet;
    slot.appearance = BrandStyle::currentAppearance();
    SheetSlot* bound = &slot;
    // Closed by any means (Escape, its own buttons, the window manager): the model hears it.
    connect(sheet, &QDialog::finished, this, [this, bound, sheet] {
        if (bound->sheet == sheet) bound->sheet = nullptr;
        sheet->deleteLater();
        if (bound->presented()) bound->dismiss();
        scheduleRender();
    });
    sheet->open();
}

void HomeView::closeSheet(SheetSlot& slot) {
    QDialog* sheet = slot.sheet;
    slot.sheet = nullptr;
    if (sheet != nullptr && sheet->isVisible()) sheet->done(QDialog::Rejected);
    else if (sheet != nullptr) sheet->deleteLater();
}

void HomeView::remakeSheet(SheetSlot& slot) {
    QDialog* old = slot.sheet;
    slot.sheet = nullptr;
    if (old == confirmationView) confirmationView = nullptr;
    // Let go without a word to the model: what it presents stays presented, in the new sheet.
    // What only the old sheet held (a tick, a scroll position) is not carried over: an erase
    // is acknowledged again.
    old->disconnect(this);
    old->hide();
    old->deleteLater();
    openSheet(slot);
}

void HomeView::renderAlert() {
    const std::optional<std::string>& message = homeModel->rawWriteBlockedMessage();
    if (message && alert == nullptr) {
        alert = new QMessageBox(window());
        alert->setObjectName(QStringLiteral("home.rawWriteBlocked.alert"));
        alert->setWindowModality(Qt::WindowModal);
        alert->setIcon(QMessageBox::Warning);
        alert->setWindowTitle(QStringLiteral("This image can't be written that way"));
        alert->setText(QStringLiteral("This image can't be written that way"));
        alert->setTextFormat(Qt::PlainText);
        alert->setInformativeText(ui::qtText(*message));
        // The model's text is shown as it is, never read as markup.
        for (QLabel* label : alert->findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
        QPushButton* ok = alert->addButton(QMessageBox::Ok);
        ok->setObjectName(QStringLiteral("home.rawWriteBlocked.ok"));
        alert->setEscapeButton(ok);
        QMessageBox* shown = alert;
        connect(alert, &QDialog::finished, this, [this, shown] {
            if (alert == shown) alert = nullptr;
            shown->deleteLater();
            if (homeModel->rawWriteBlockedMessage()) homeModel->dismissRawWriteBlocked();
        });
        alert->open();
    } else if (!message && alert != nullptr) {
        QMessageBox* shown = alert;
        alert = nullptr;
        shown->done(QDialog::Accepted);
    }
}

void HomeView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared) return;
    appeared = true;
    // The first scan starts when the window first shows; a scripted scenario runs instead.
    if (homeModel->uiTestAutoOperation()) {
        homeModel->runUiTestAutoOperation();
    } else {
        homeModel->refreshDisks();
    }
}

void HomeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    backdrop->setGeometry(rect());
    backdrop->lower();
}

void HomeView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The appearance changed: the content's brand colours are made again in the new one, and
    // the open sheets with them (renderSheets).
    if (ui::tellsOfAnotherAppearance(*event, contentAppearance)) {
        contentDirty = true;
        phonePanelFlag.reset();
        scheduleRender();
    }
}

}  // namespace marlowick
