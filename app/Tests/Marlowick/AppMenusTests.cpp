#include "AppMenus.hpp"

#include <gtest/gtest.h>

#include <set>

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "AppSettings.hpp"
#include "AppUpdater.hpp"
#include "MainWindow.hpp"
#include "Support/HomeModelHarness.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::HomeModelHarness;
using State = HomeDriveState;

struct MenuCase {
    const char* name;
    std::optional<HomeDriveState> state;  // none: no model
    // The enabled Drive items, in menu order: P U R X W E, '-' for disabled.
    const char* driveItems;
    bool verifyEnabled;
    bool visibilityEnabled;
};

HomeDriveState ready() { return State{State::VentoyReady{testing::ventoyLayout(), "1.1.17", std::nullopt}}; }

class MenusPerDriveState : public ::testing::TestWithParam<MenuCase> {};

TEST_P(MenusPerDriveState, EnableWhatTheStateAllows) {
    const MenuCase& c = GetParam();
    HomeModelHarness harness;
    MainWindow window;
    AppUpdater updater(UpdaterConfiguration{});
    AppMenus menus(window, updater);
    if (c.state) menus.setModel(harness.make(HelperDiskRef(testing::usbStick("sdc")), *c.state));
    std::string enabled;
    for (std::size_t i = 0; i < std::size(testing::driveMenuItems); ++i) {
        QAction* item = menus.action(QStringLiteral("Drive"), QString::fromUtf8(testing::driveMenuItems[i]));
        ASSERT_NE(item, nullptr) << testing::driveMenuItems[i];
        enabled += item->isEnabled() ? testing::driveMenuLetters[i] : '-';
    }
    EXPECT_EQ(enabled, c.driveItems);
    EXPECT_EQ(menus.action(QStringLiteral("Drive"), QStringLiteral("Verify Copied Images (SHA-256)"))->isEnabled(),
              c.verifyEnabled);
    for (const char* toggle : {"Show Non-USB Disks", "Show External SSDs and Hard Drives"}) {
        EXPECT_EQ(menus.action(QStringLiteral("View"), QString::fromUtf8(toggle))->isEnabled(), c.visibilityEnabled)
            << toggle;
    }
    // Help and About never depend on a drive; the update item on the build (none here).
    for (const char* item : {"Marlowick Home Page", "Marlowick Help", "Licence Agreement", "Third-Party Notices",
                             "Quenmoor Labworks", "About Marlowick"}) {
        EXPECT_TRUE(menus.action(QStringLiteral("Help"), QString::fromUtf8(item))->isEnabled()) << item;
    }
    EXPECT_FALSE(menus.action(QStringLiteral("Help"), QStringLiteral("Check for Updates…"))->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MenusPerDriveState,
    ::testing::Values(
        MenuCase{"noModel", std::nullopt, "------", false, false},
        MenuCase{"noDrive", State{State::NoDrive{}}, "------", true, true},
        MenuCase{"detecting", State{State::Detecting{}}, "------", true, true},
        MenuCase{"prepare", State{State::Prepare{"blank"}}, "P---WE", true, true},
        MenuCase{"ventoyReady", ready(), "-U-XWE", true, true},
        MenuCase{"incompatible", State{State::Incompatible{"foreign"}}, "--R-WE", true, true},
        MenuCase{"unreadable", State{State::Unreadable{"EIO"}}, "P---WE", true, true},
        MenuCase{"error", State{State::Error{"gone"}}, "-----E", true, true},
        MenuCase{"operationRunning",
                 State{State::OperationRunning{HomeOperationKind::prepare, HomeOperationProgress(0.3, "Writing")}},
                 "------", false, true},
        MenuCase{"done", State{State::Done{HomeOperationKind::prepare,
                                           HomeOperationOutcome{HomeOperationOutcome::Succeeded{"Ventoy installed"}}}},
                 "-----E", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct MenusOverAModel : ::testing::Test {
    HomeModelHarness harness;
    MainWindow window;
    AppUpdater updater{UpdaterConfiguration{}};
    AppMenus menus{window, updater};

    QAction* item(const char* menu, const char* title) {
        QAction* found = menus.action(QString::fromUtf8(menu), QString::fromUtf8(title));
        EXPECT_NE(found, nullptr) << title;
        return found;
    }
};

TEST_F(MenusOverAModel, FollowTheModelAsItsStateChangesAndWhileAConfirmationIsOpen) {
    harness.disks = {testing::usbStick("sdc")};
    harness.runner->answer(testing::detectedNotVentoy());
    const auto model = harness.make();
    menus.setModel(model);
    EXPECT_FALSE(item("Drive", "Prepare…")->isEnabled());
    model->refreshDisks();
    harness.settle();
    ASSERT_TRUE(model->state().is<State::Prepare>()) << render(model->state());
    EXPECT_TRUE(item("Drive", "Prepare…")->isEnabled());

    // The item asks for the operation: the confirmation opens and the verify toggle waits.
    item("Drive", "Prepare…")->trigger();
    EXPECT_EQ(model->pendingOperation(), HomeOperationKind::prepare);
    EXPECT_FALSE(item("Drive", "Verify Copied Images (SHA-256)")->isEnabled());
    model->setPendingOperation(std::nullopt);
    EXPECT_TRUE(item("Drive", "Verify Copied Images (SHA-256)")->isEnabled());
}

TEST_F(MenusOverAModel, CtrlEEjectsOnlyWhenTheStateAllowsIt) {
    const HelperDiskRef disk(testing::usbStick("sdc"));
    for (const bool allowed : {false, true}) {
        SCOPED_TRACE(allowed ? "ready" : "no drive");
        harness.ejected.clear();
        menus.setModel(harness.make(disk, allowed ? ready() : State{State::NoDrive{}}));
        window.show();
        QApplication::setActiveWindow(&window);
        QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_E));
        harness.settle();
        EXPECT_EQ(harness.ejected.size(), allowed ? 1U : 0U);
    }
    EXPECT_EQ(item("Drive", "Eject")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
}

TEST_F(MenusOverAModel, TogglesStoreTheSettingAndTellTheModelUnlessItIsBusy) {
    AppSettings::setFlag(AppSettings::showNonUsbDisksKey, false);
    AppSettings::setFlag(AppSettings::showFixedStorageKey, false);
    AppSettings::setFlag(AppSettings::verifyCopiedImagesKey, false);
    MainWindow freshWindow;
    AppMenus fresh(freshWindow, updater);
    const auto model = harness.make();
    fresh.setModel(model);
    const auto toggle = [&fresh](const char* menu, const char* title) {
        return fresh.action(QString::fromUtf8(menu), QString::fromUtf8(title));
    };

    toggle("View", "Show Non-USB Disks")->trigger();
    harness.settle();
    EXPECT_TRUE(AppSettings::flag(AppSettings::showNonUsbDisksKey));
    EXPECT_EQ(model->driveVisibility(), DriveVisibility::allExternal);
    EXPECT_EQ(harness.diskListings, 1);  // a rescan

    toggle("View", "Show External SSDs and Hard Drives")->trigger();
    toggle("Drive", "Verify Copied Images (SHA-256)")->trigger();
    harness.settle();
    EXPECT_TRUE(AppSettings::flag(AppSettings::showFixedStorageKey));
    EXPECT_TRUE(model->includeFixedStorage());
    EXPECT_TRUE(AppSettings::flag(AppSettings::verifyCopiedImagesKey));
    EXPECT_TRUE(model->verifyCopiedImages());

    // While an operation runs the setting is stored, and the model keeps what it has.
    const auto busy = harness.make(HelperDiskRef(testing::usbStick("sdc")),
                                   State{State::OperationRunning{HomeOperationKind::prepare, {}}});
    fresh.setModel(busy);
    ASSERT_TRUE(toggle("View", "Show Non-USB Disks")->isEnabled());
    toggle("View", "Show Non-USB Disks")->trigger();  // off
    EXPECT_FALSE(AppSettings::flag(AppSettings::showNonUsbDisksKey));
    EXPECT_EQ(busy->driveVisibility(), DriveVisibility::usbOnly);  // as it was built

    // A new menu bar, as at the next start, shows the stored values.
    MainWindow nextWindow;
    AppMenus next(nextWindow, updater);
    EXPECT_FALSE(next.action(QStringLiteral("View"), QStringLiteral("Show Non-USB Disks"))->isChecked());
    EXPECT_TRUE(next.action(QStringLiteral("View"), QStringLiteral("Show External SSDs and Hard Drives"))->isChecked());
    EXPECT_TRUE(next.action(QStringLiteral("Drive"), QStringLiteral("Verify Copied Images (SHA-256)"))->isChecked());
}

TEST_F(MenusOverAModel, EveryMenuAndItemHasItsOwnKeyboardLetter) {
    const auto letterOf = [](const QString& text) { return QKeySequence::mnemonic(text); };
    std::set<int> menuLetters;
    for (QAction* top : window.menuBar()->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        const std::string menu = top->text().toStdString();
        const QKeySequence menuLetter = letterOf(top->text());
        EXPECT_FALSE(menuLetter.isEmpty()) << menu;
        EXPECT_TRUE(menuLetters.insert(menuLetter[0].toCombined()).second) << menu << " shares its letter";
        std::set<int> letters;
        for (QAction* entry : top->menu()->actions()) {
            if (entry->isSeparator()) continue;
            const std::string item = menu + " / " + entry->text().toStdString();
            const QKeySequence letter = letterOf(entry->text());
            ASSERT_FALSE(letter.isEmpty()) << item << " has no letter";
            EXPECT_TRUE(letters.insert(letter[0].toCombined()).second) << item << " shares its letter";
            // The letter is one the title shows, and the title reads as it did.
            EXPECT_EQ(entry->text().count(QLatin1Char('&')), 1) << item;
        }
    }
    EXPECT_EQ(item("Drive", "Remove Ventoy…")->text(), QStringLiteral("Re&move Ventoy…"));
}

}  // namespace
}  // namespace marlowick
