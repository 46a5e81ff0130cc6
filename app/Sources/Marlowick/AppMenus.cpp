#include "AppMenus.hpp"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMainWindow>
#include <QMenuBar>

#include "AboutWindow.hpp"
#include "AppSettings.hpp"
#include "AppUpdater.hpp"
#include "Design/StudioLinks.hpp"
#include "Home/DriveCommands.hpp"
#include "LegalWindowPresenter.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

constexpr const char* commandProperty = "marlowickDriveCommand";

// `title` with its first `mnemonic` marked as the letter that picks it from the keyboard.
QString menuText(std::string_view title, char mnemonic) {
    QString text = ui::qtText(title);
    const qsizetype at = text.indexOf(QLatin1Char(mnemonic));
    if (at >= 0) text.insert(at, QLatin1Char('&'));
    return text;
}

QMenu* addMenu(QMainWindow& window, std::string_view title, char mnemonic) {
    QMenu* menu = window.menuBar()->addMenu(menuText(title, mnemonic));
    menu->setToolTipsVisible(true);
    return menu;
}

QAction* addToggle(QMenu& menu, std::string_view title, char mnemonic, const char* key) {
    QAction* toggle = menu.addAction(menuText(title, mnemonic));
    toggle->setCheckable(true);
    toggle->setChecked(AppSettings::flag(key));
    return toggle;
}

}  // namespace

AppMenus::AppMenus(QMainWindow& mainWindow, AppUpdater& appUpdater)
    : QObject(&mainWindow), window(mainWindow), updater(appUpdater) {
    QMenu* file = addMenu(window, "File", 'F');
    QAction* quit = file->addAction(QStringLiteral("&Quit Marlowick"), qApp, &QApplication::closeAllWindows);
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);

    QMenu* view = addMenu(window, "View", 'V');
    QAction* nonUsb = addToggle(*view, VisibilityCommands::showNonUsbTitle, VisibilityCommands::showNonUsbMnemonic,
                                AppSettings::showNonUsbDisksKey);
    connect(nonUsb, &QAction::toggled, this, [this](bool on) {
        AppSettings::setFlag(AppSettings::showNonUsbDisksKey, on);
        VisibilityCommands::setShowNonUsbDisks(model.get(), on);
    });
    QAction* fixed = addToggle(*view, VisibilityCommands::showFixedStorageTitle,
                               VisibilityCommands::showFixedStorageMnemonic, AppSettings::showFixedStorageKey);
    connect(fixed, &QAction::toggled, this, [this](bool on) {
        AppSettings::setFlag(AppSettings::showFixedStorageKey, on);
        VisibilityCommands::setShowFixedStorage(model.get(), on);
    });

    QMenu* drive = addMenu(window, DriveCommands::menuTitle, DriveCommands::menuMnemonic);
    for (const DriveCommands::Item& item : DriveCommands::items) {
        if (item.separatorBefore) drive->addSeparator();
        QAction* action = drive->addAction(menuText(item.title, item.mnemonic));
        action->setProperty(commandProperty, static_cast<int>(item.command));
        if (item.shortcutKey) action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(*item.shortcutKey)));
        const DriveMenuCommand command = item.command;
        connect(action, &QAction::triggered, this, [this, command] { DriveCommands::invoke(model.get(), command); });
    }
    drive->addSeparator();
    QAction* verify = addToggle(*drive, DriveCommands::verifyTitle, DriveCommands::verifyMnemonic,
                               AppSettings::verifyCopiedImagesKey);
    verify->setToolTip(ui::qtText(DriveCommands::verifyHelp));
    connect(verify, &QAction::toggled, this, [this](bool on) {
        AppSettings::setFlag(AppSettings::verifyCopiedImagesKey, on);
        DriveCommands::setVerifyCopiedImages(model.get(), on);
    });

    QMenu* help = addMenu(window, "Help", 'H');
    help->addAction(QStringLiteral("Marlowick &Home Page"), this,
                    [] { QDesktopServices::openUrl(StudioLinks::marlowickHome()); });
    help->addAction(QStringLiteral("Marlowick H&elp"), this, [] { QDesktopServices::openUrl(StudioLinks::support()); });
    help->addSeparator();
    for (const LegalDocument document : allLegalDocuments) {
        help->addAction(menuText(title(document), title(document).front()), this,
                        [this, document] { LegalWindowPresenter::show(document, &window); });
    }
    help->addSeparator();
    help->addAction(QStringLiteral("&Quenmoor Labworks"), this, [] { QDesktopServices::openUrl(StudioLinks::website()); });
    help->addSeparator();
    QAction* check = help->addAction(QStringLiteral("&Check for Updates…"), &updater, &AppUpdater::checkForUpdates);
    check->setObjectName(QStringLiteral("app.menu.checkForUpdates"));
    check->setMenuRole(QAction::ApplicationSpecificRole);
    check->setEnabled(updater.canCheckForUpdates());
    connect(&updater, &AppUpdater::canCheckForUpdatesChanged, check, &QAction::setEnabled);
    QAction* about =
        help->addAction(QStringLiteral("&About Marlowick"), this, [this] { AboutWindowPresenter::show(&window); });
    about->setMenuRole(QAction::AboutRole);

    refresh();
}

AppMenus::~AppMenus() { detach(); }

void AppMenus::detach() {
    if (model && subscription != 0) model->observers().unsubscribe(subscription);
    subscription = 0;
}

void AppMenus::setModel(std::shared_ptr<HomeViewModel> newModel) {
    detach();
    model = std::move(newModel);
    if (model) {
        subscription = model->observers().subscribe([this](HomeViewModel::Property property) {
            if (property == HomeViewModel::Property::state || property == HomeViewModel::Property::pendingOperation) {
                refresh();
            }
        });
    }
    refresh();
}

QAction* AppMenus::action(const QString& menu, const QString& item) const {
    for (QAction* top : window.menuBar()->actions()) {
        if (top->menu() == nullptr || top->text().remove(QLatin1Char('&')) != menu) continue;
        for (QAction* entry : top->menu()->actions()) {
            if (entry->text().remove(QLatin1Char('&')) == item) return entry;
        }
    }
    return nullptr;
}

void AppMenus::refresh() {
    const HomeViewModel* focused = model.get();
    for (QAction* top : window.menuBar()->actions()) {
        if (top->menu() == nullptr) continue;
        for (QAction* entry : top->menu()->actions()) {
            const QVariant command = entry->property(commandProperty);
            if (command.isValid()) {
                entry->setEnabled(DriveCommands::isEnabled(focused, static_cast<DriveMenuCommand>(command.toInt())));
            }
        }
    }
    const auto text = [](std::string_view title) { return ui::qtText(title); };
    if (QAction* verify = action(text(DriveCommands::menuTitle), text(DriveCommands::verifyTitle))) {
        verify->setEnabled(DriveCommands::isVerifyToggleEnabled(focused));
    }
    for (const std::string_view title : {VisibilityCommands::showNonUsbTitle, VisibilityCommands::showFixedStorageTitle}) {
        if (QAction* toggle = action(QStringLiteral("View"), text(title))) {
            toggle->setEnabled(VisibilityCommands::isEnabled(focused));
        }
    }
}

}  // namespace marlowick
