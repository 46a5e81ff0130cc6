// The home window in each of its states, each sheet and each popover, reached as a user
// reaches them, in light and dark, at the window's minimum and default sizes, scrolled to the
// top and to the bottom: the layout holds (testing::expectSoundLayout), and a screenshot of
// each is left in the build tree for a person to look at. Child windows open centred on the
// main window. The same tests run a second time at twice the scale (a test of its own in
// CTest).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <functional>

#include "AboutWindow.hpp"
#include "AppMenus.hpp"
#include "AppUpdater.hpp"
#include "LegalWindowPresenter.hpp"
#include "UI/DestructiveQuestion.hpp"
#include "UI/PlainText.hpp"
#include "UI/Popover.hpp"
#include "WidgetSupport/HomeWindow.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;
using testing::findElement;
using testing::HomeWindow;

DiscoveredDisk largeStick(const std::string& bsdName) {
    DiscoveredDisk disk = testing::usbStick(bsdName, "SER-" + bsdName, "Archive Stick with a Long Name");
    disk.geometry = BlockGeometry{512, 976'562'500, 500'000'000'000};
    return disk;
}

// A drive that detects as `detected`, lists two images when ready, and is prepared when
// asked (with boot files at hand).
void answerWith(HomeWindow& home, HelperResult detected) {
    home.harness.acquire = [&home](const std::optional<std::string>& version, const auto&, const auto&) {
        return testing::acquiredAssets(version.value_or("1.1.17"), home.harness.folder.path());
    };
    home.harness.runner->script([detected](const HelperCommand& command, const HelperProgressHandler&,
                                           const HelperCancelCheck&) -> HelperResult {
        if (std::holds_alternative<HelperCommand::ListImages>(command.value)) {
            const auto image = [](const std::string& name, std::int64_t bytes) {
                return HelperImageEntry("/" + name, name, bytes, false);
            };
            return testing::imageListing({image("debian-12.5.0-amd64-netinst.iso", 658'505'728),
                                          image("ubuntu-24.04-desktop-amd64.iso", 6'114'656'256)});
        }
        if (std::holds_alternative<HelperCommand::Detect>(command.value)) return detected;
        return testing::operationSucceeded(HelperDriveOperationReport::Kind::prepare);
    });
}

// Starts a prepare through its sheet, as a user confirms it.
void confirmPrepare(HomeWindow& home) {
    home.click("home.primaryAction");
    ui::Sheet* sheet = home.sheet("home.confirm.sheet");
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge")), Qt::LeftButton);
    QTest::mouseClick(findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action")), Qt::LeftButton);
}

HelperResult detectedIncompatible() {
    const std::string reason = "Foreign 32 MB EFI layout with a partition table Marlowick can't update.";
    return {HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::IncompatibleVentoy{reason}}}};
}

struct Scene {
    const char* name;
    std::vector<DiscoveredDisk> disks;
    // Before the window shows: what the drive answers.
    std::function<void(HomeWindow&)> script;
    // After it shows: what the user does to get there.
    std::function<void(HomeWindow&)> reach;
    // What shows whole at the default size without scrolling: the main action and the drive
    // row, where the card leaves room for them (the cards of a ready drive do not).
    std::vector<const char*> wholeAtDefault;
};

std::vector<Scene> scenes() {
    const auto detect = [](HelperResult result) { return [result](HomeWindow& home) { answerWith(home, result); }; };
    const auto nothing = [](HomeWindow&) {};
    const HelperResult unreadable{
        HelperResult::DetectReadFailed{HelperBlockError{BlockError::DeviceFailure{"read", "I/O error"}}}};
    return {
        {"no-drive", {}, nothing, nothing, {"home.drive.rescan", "home.drive.bootGuide"}},
        {"no-drive-hidden-ssd", {testing::portableSsd("sdb")}, nothing, nothing, {"home.drive.hiddenFixedStorage"}},
        {"prepare", {testing::usbStick("sdb")}, detect(testing::detectedNotVentoy()), nothing,
         {"home.primaryAction", "home.drive.rescan"}},
        {"prepare-two-drives", {testing::usbStick("sdb"), testing::usbStick("sdc", "SER2", "Other Stick")},
         detect(testing::detectedNotVentoy()),
         [](HomeWindow& home) {
             home.harness.model->selectDisk(home.harness.model->availableDisks().front());
             home.settle();
         },
         {"home.primaryAction", "home.drive.change"}},
        {"ready-update", {testing::usbStick("sdb")},
         detect(testing::detectedVentoy(testing::ventoyLayout(), "1.1.15",
                                        HelperDriveUsage{9'000'000'000, 16'000'000'000, "exfat"})),
         nothing, {}},
        {"incompatible-large", {largeStick("sdc")}, detect(detectedIncompatible()), nothing, {"home.primaryAction"}},
        {"unreadable", {testing::usbStick("sdb")}, detect(unreadable), nothing, {"home.primaryAction"}},
        {"error",
         {testing::usbStick("sdb")},
         detect(HelperResult::failed(HelperCommandError::CouldNotOpenDevice{"The drive was taken away."})),
         nothing,
         {"home.primaryAction", "home.drive.rescan"}},
        {"progress", {testing::usbStick("sdb")}, detect(testing::detectedNotVentoy()),
         [](HomeWindow& home) {
             confirmPrepare(home);
             // The download waits in the background: the progress screen shows.
             home.harness.main.runAll();
             QApplication::processEvents();
             home.view->renderPending();
         },
         {"home.operation.cancel"}},
        {"done-prepare", {testing::usbStick("sdb")}, detect(testing::detectedNotVentoy()),
         [](HomeWindow& home) {
             confirmPrepare(home);
             home.settle();
         },
         {"home.primaryAction"}},
        {"done-failed",
         {testing::usbStick("sdb")},
         [](HomeWindow& home) {
             answerWith(home, testing::detectedNotVentoy());
             home.harness.runner->script([](const HelperCommand& command, const HelperProgressHandler&,
                                            const HelperCancelCheck&) -> HelperResult {
                 if (std::holds_alternative<HelperCommand::Detect>(command.value)) return testing::detectedNotVentoy();
                 return HelperResult::failed(HelperCommandError::CouldNotOpenDevice{"The drive was taken away."});
             });
         },
         [](HomeWindow& home) {
             confirmPrepare(home);
             home.settle();
             home.click("home.diagnostics.toggle");
         },
         {"home.primaryAction"}},
    };
}

enum class Size { minimum, standard };

const char* sizeName(Size size) { return size == Size::minimum ? "minimum" : "default"; }

// Only the window's own events run: work the model has waiting stays waiting.
void resize(HomeWindow& home, Size size) {
    home.window->resize(size == Size::minimum ? home.window->minimumSize() : MainWindow::defaultSize);
    QApplication::processEvents();
    home.view->renderPending();
    QApplication::processEvents();
}

// Every part of `widget` lies in the content's visible area.
bool wholeInView(HomeWindow& home, const char* identifier) {
    auto* content = home.element<QScrollArea>("home.content");
    QWidget* widget = home.element(identifier);
    if (content == nullptr || widget == nullptr) return false;
    const QRect placed(widget->mapTo(content->viewport(), QPoint(0, 0)), widget->size());
    return content->viewport()->rect().contains(placed);
}

// Runs `check` in light and dark, at the default and the minimum size, each case named
// "<prefix>-<size>-<appearance>".
using Check = std::function<void(const char* appearance, Size size, const std::string& name)>;
void eachAppearanceAndSize(const std::string& prefix, const Check& check) {
    for (const char* appearance : {"light", "dark"}) {
        for (const Size size : {Size::standard, Size::minimum}) {
            const std::string name = prefix + "-" + sizeName(size) + "-" + appearance;
            SCOPED_TRACE(name);
            check(appearance, size, name);
        }
    }
}

void scrollContent(HomeWindow& home, bool toBottom) {
    QScrollBar* bar = home.element<QScrollArea>("home.content")->verticalScrollBar();
    bar->setValue(toBottom ? bar->maximum() : bar->minimum());
    QApplication::processEvents();
}

TEST(HomeViewLayout, EachStateAtEachSizeScrolledEachWay) {
    for (const Scene& scene : scenes()) {
        eachAppearanceAndSize(scene.name, [&scene](const char* appearance, Size size, const std::string& name) {
            HomeWindow home(appearance, scene.disks);
            scene.script(home);
            home.show();
            // The menu bar takes its room, as in the program.
            AppUpdater updater(UpdaterConfiguration{});
            AppMenus menus(*home.window, updater);
            scene.reach(home);
            resize(home, size);
            if (size == Size::standard) {
                for (const char* identifier : scene.wholeAtDefault) {
                    EXPECT_TRUE(wholeInView(home, identifier)) << identifier << " is below the fold";
                }
            }
            bool primaryShown = !home.has("home.primaryAction");
            for (const bool toBottom : {false, true}) {
                scrollContent(home, toBottom);
                const std::string where = name + (toBottom ? "-bottom" : "-top");
                testing::expectSoundLayout(*home.window, where);
                testing::saveScreenshot(*home.window, "layout-" + where);
                primaryShown = primaryShown || wholeInView(home, "home.primaryAction");
            }
            // However small the window, the main action can be scrolled into view.
            EXPECT_TRUE(primaryShown);
        });
    }
}

// A sheet or dialog over the window, reached as a user reaches it.
struct SheetScene {
    const char* name;
    const char* identifier;
    std::vector<DiscoveredDisk> disks;
    HelperResult detected;
    std::function<void(HomeWindow&)> open;
};

std::vector<SheetScene> sheetScenes() {
    const auto openAdvanced = [](HomeWindow& home) { (void)home.confirmWithAdvancedOptions(); };
    return {
        {"confirm-prepare-advanced", "home.confirm.sheet", {largeStick("sdc")}, testing::detectedNotVentoy(),
         openAdvanced},
        {"confirm-update", "home.confirm.sheet", {testing::usbStick("sdb")},
         testing::detectedVentoy(testing::ventoyLayout(), "1.1.15"),
         [](HomeWindow& home) { home.click("home.secondary.update"); }},
        {"confirm-raw-write", "home.confirm.sheet", {largeStick("sdc")}, testing::detectedNotVentoy(),
         [](HomeWindow& home) {
             using Notice = RawWritePreflightNotice;
             home.harness.model->setPendingRawImage(HomeViewModel::PendingRawImage{
                 home.harness.folder.path() / "a-rather-long-name-of-a-disk-image-2024.img", 3'000'000'000,
                 RawWriteRouting::Verdict{RawWriteRouting::Verdict::RawWrite{RawWriteRouting::Bootability::unverified}},
                 {Notice{Notice::Truncated{4'000'000'000, 3'000'000'000}}, Notice{Notice::NoBootRecord{}}}});
             home.harness.model->setPendingOperation(Kind::writeRawImage);
             home.settle();
         }},
        {"picker", "home.picker.sheet",
         {testing::usbStick("sdb"), largeStick("sdc"), testing::usbStick("sdd", "SER3", "Third Stick"),
          testing::usbStick("sde", "SER4", "Fourth Stick")},
         testing::detectedNotVentoy(), [](HomeWindow&) {}},
        {"boot-guide", "home.bootGuide.sheet", {}, testing::detectedNotVentoy(),
         [](HomeWindow& home) { home.click("home.drive.bootGuide"); }},
        {"browser", "browser", {testing::usbStick("sdb")}, testing::detectedVentoy(testing::ventoyLayout(), "1.1.17"),
         [](HomeWindow& home) {
             home.harness.model->openDriveBrowser();
             home.settle();
         }},
        {"raw-write-refused", "home.rawWriteBlocked.alert", {testing::usbStick("sdb")}, testing::detectedNotVentoy(),
         [](HomeWindow& home) {
             home.harness.model->setRawWriteBlockedMessage(
                 "This is an installer ISO. Write it with Prepare and add it as an image instead.");
             home.settle();
         }},
    };
}

// The dialog open over the window with this identifier; null when none is.
QDialog* openDialog(const char* identifier) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (dialog != nullptr && dialog->isVisible() && dialog->objectName() == QString::fromUtf8(identifier)) {
            return dialog;
        }
    }
    return nullptr;
}

TEST(HomeViewLayout, EachSheetAndDialogKeepsItsButtonsInViewAtEachSize) {
    for (const SheetScene& scene : sheetScenes()) {
        eachAppearanceAndSize(scene.name, [&scene](const char* appearance, Size size, const std::string& name) {
            HomeWindow home(appearance, scene.disks);
            answerWith(home, scene.detected);
            home.show(true);
            AppUpdater updater(UpdaterConfiguration{});
            AppMenus menus(*home.window, updater);
            resize(home, size);
            scene.open(home);
            QDialog* dialog = openDialog(scene.identifier);
            ASSERT_NE(dialog, nullptr);
            home.settle();
            auto* sheet = qobject_cast<ui::Sheet*>(dialog);
            if (sheet != nullptr) {
                EXPECT_LE(sheet->height(), home.window->height() - 2 * ui::Sheet::windowMargin);
            }
            // A sheet's body scrolls; a dialog's whole content is in view.
            for (const bool toBottom : {false, true}) {
                if (sheet == nullptr && toBottom) break;
                if (sheet != nullptr) {
                    QScrollBar* bar = sheet->bodyArea()->verticalScrollBar();
                    bar->setValue(toBottom ? bar->maximum() : bar->minimum());
                    QApplication::processEvents();
                }
                const std::string where = name + (toBottom ? "-bottom" : "-top");
                testing::expectSoundLayout(*home.window, where);
                testing::saveScreenshot(*dialog, "layout-sheet-" + where);
            }
        });
    }
}

TEST(HomeViewLayout, EachPopoverShowsItsWholeText) {
    eachAppearanceAndSize("popover", [](const char* appearance, Size size, const std::string& name) {
        HomeWindow home(appearance);
        answerWith(home, testing::detectedNotVentoy());
        home.show();
        resize(home, size);
        auto* info = home.element<QAbstractButton>("home.stateInfo");
        ASSERT_NE(info, nullptr);
        home.element<QScrollArea>("home.content")->ensureWidgetVisible(info);
        QTest::mouseClick(info, Qt::LeftButton);
        auto* popover = home.window->findChild<ui::Popover*>(QStringLiteral("home.stateInfo.popover"));
        ASSERT_NE(popover, nullptr);
        testing::expectSoundLayout(*home.window, name + ", state info");
        testing::saveScreenshot(*popover, "layout-" + name + "-state-info");
        popover->close();

        ui::Sheet* sheet = home.confirmWithAdvancedOptions();
        ASSERT_NE(sheet, nullptr);
        const auto hints =
            sheet->findChildren<QAbstractButton*>(QRegularExpression(QStringLiteral("^options\\.info\\.")));
        ASSERT_FALSE(hints.isEmpty());
        for (QAbstractButton* hint : hints) {
            if (!hint->isVisible()) continue;
            // "options.info.Cluster size" is "Cluster-size" in a file name.
            const std::string option =
                hint->objectName().mid(13).replace(QLatin1Char(' '), QLatin1Char('-')).toStdString();
            sheet->bodyArea()->ensureWidgetVisible(hint);
            QTest::mouseClick(hint, Qt::LeftButton);
            auto* shown = sheet->findChild<ui::Popover*>(QStringLiteral("options.info.popover"));
            ASSERT_NE(shown, nullptr) << option;
            testing::expectSoundLayout(*home.window, name + ", " + option);
            testing::saveScreenshot(*shown, "layout-" + name + "-" + option);
            shown->close();
            QApplication::processEvents();
        }
    });
}

// The centre of a window's frame, and how far another's is from it.
int offCentre(const QWidget& child, const QWidget& window) {
    return (child.frameGeometry().center() - window.frameGeometry().center()).manhattanLength();
}

TEST(HomeViewLayout, ChildWindowsOpenCentredOnTheMainWindow) {
    HomeWindow home("light", {testing::usbStick("sdb"), testing::usbStick("sdc", "SER2", "Other Stick")});
    answerWith(home, testing::detectedVentoy(testing::ventoyLayout(), "1.1.15"));
    home.show(true);
    // Away from the screen's corner, as a window manager places it.
    home.window->move(180, 90);
    home.settle();
    // The picker opened by itself (two drives, none chosen).
    ui::Sheet* picker = home.sheet("home.picker.sheet");
    ASSERT_NE(picker, nullptr);
    EXPECT_LE(offCentre(*picker, *home.window), 2);
    // The window moves (the window manager places it late): the sheet follows.
    home.window->move(260, 140);
    home.settle();
    EXPECT_LE(offCentre(*picker, *home.window), 2);
    home.harness.model->selectDisk(home.harness.model->availableDisks().front());
    home.settle();
    ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::VentoyReady>());

    const std::function<void()> openers[] = {
        [&home] { home.click("home.secondary.update"); },
        [&home] { home.click("home.secondary.remove"); },
        [&home] { home.harness.model->setIsShowingBootGuide(true); },
        [&home] { home.harness.model->openDriveBrowser(); },
        [&home] { home.harness.model->setRawWriteBlockedMessage("This image can't be written that way."); },
    };
    for (const auto& open : openers) {
        open();
        home.settle();
        QDialog* dialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* shown = qobject_cast<QDialog*>(top); shown != nullptr && shown->isVisible()) dialog = shown;
        }
        ASSERT_NE(dialog, nullptr);
        SCOPED_TRACE(dialog->objectName().toStdString());
        EXPECT_LE(offCentre(*dialog, *home.window), 2);
        testing::expectSoundLayout(*home.window, dialog->objectName().toStdString());
        dialog->reject();
        home.settle();
    }
    // A question before something that can't be undone is a sheet like the others.
    auto* question = new ui::DestructiveQuestion(
        *home.window, QStringLiteral("test.question"),
        {"Quit while writing?", "The drive is left half-written.", {"Quit", "test.question.quit"},
         {"Keep Writing", "test.question.keep"}});
    question->open();
    home.settle();
    EXPECT_LE(offCentre(*question, *home.window), 2);
    testing::expectSoundLayout(*home.window, "question");
    question->reject();
    delete question;

    // About and the legal documents, from the menus, open over the window too (a window
    // already open is only brought forward, where the user left it).
    if (QWidget* shown = AboutWindowPresenter::window()) shown->close();
    for (const LegalDocument document : allLegalDocuments) {
        if (QWidget* shown = LegalWindowPresenter::window(document)) shown->close();
    }
    AppUpdater updater(UpdaterConfiguration{});
    AppMenus menus(*home.window, updater);
    menus.action(QStringLiteral("Help"), QStringLiteral("About Marlowick"))->trigger();
    QWidget* about = AboutWindowPresenter::window();
    ASSERT_NE(about, nullptr);
    EXPECT_LE(offCentre(*about, *home.window), 2);
    about->close();
    for (const LegalDocument document : allLegalDocuments) {
        menus.action(QStringLiteral("Help"), ui::qtText(title(document)))->trigger();
        QWidget* legal = LegalWindowPresenter::window(document);
        ASSERT_NE(legal, nullptr);
        EXPECT_LE(offCentre(*legal, *home.window), 2) << rawValue(document);
        legal->close();
    }
}

}  // namespace
}  // namespace marlowick
