// The home view's roads that go through a sheet or a file picker: choosing among several
// drives, the drives it hides, adding an image to a ready drive, and the options of a
// prepare. Each is driven through the window as a user would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "Home/Views/ViewElements.hpp"
#include "Home/Views/ViewKit.hpp"
#include "WidgetSupport/HomeWindow.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;
using testing::findElement;
using testing::HomeWindow;

using testing::portableSsd;

TEST(HomeView, SeveralDrivesAreChosenInThePickerAndFixedStorageIsNamedAsHidden) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        HomeWindow home(appearance, {testing::usbStick("sdb"), testing::usbStick("sdc", "SER2", "Other <b>&amp;</b>"),
                                     portableSsd("sdd")});
        home.harness.runner->answer(testing::detectedNotVentoy());
        home.show();

        // Two eligible drives and none chosen: the picker opens over the empty hero.
        ASSERT_TRUE(home.harness.model->isPickingDisk());
        ui::Sheet* picker = home.sheet("home.picker.sheet");
        ASSERT_NE(picker, nullptr);
        EXPECT_LE(picker->height(), home.window->height());
        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Connect a USB drive"));
        auto* hidden = home.element<QLabel>("home.drive.hiddenFixedStorage");
        ASSERT_NE(hidden, nullptr);
        EXPECT_EQ(hidden->text(), QStringLiteral("1 SSD or hard drive is hidden to protect the data on it. To use one, "
                                                 "choose View ▸ Show External SSDs and Hard Drives."));
        EXPECT_TRUE(hidden->isVisible());
        EXPECT_EQ(picker->findChild<QWidget*>(QStringLiteral("home.picker.row.sdd")), nullptr);
        testing::saveScreenshot(*picker, std::string("home-picker-") + appearance);

        // Escape closes it and the window offers to choose again.
        QTest::keyClick(picker, Qt::Key_Escape);
        home.settle();
        EXPECT_FALSE(home.harness.model->isPickingDisk());
        EXPECT_EQ(home.sheet("home.picker.sheet"), nullptr);
        auto* choose = home.element<QPushButton>("home.drive.choose");
        ASSERT_NE(choose, nullptr);
        EXPECT_EQ(choose->text(), QStringLiteral("Choose a drive…"));
        EXPECT_EQ(choose->accessibleName(), QStringLiteral("Choose a drive"));
        testing::saveScreenshot(*home.window, std::string("home-no-drive-chosen-") + appearance);

        // Chosen by the keyboard: the row takes Space.
        home.click("home.drive.choose");
        picker = home.sheet("home.picker.sheet");
        ASSERT_NE(picker, nullptr);
        QWidget* row = findElement(*picker, QStringLiteral("home.picker.row.sdc"));
        ASSERT_NE(row, nullptr);
        row->setFocus(Qt::TabFocusReason);
        QTest::keyClick(row, Qt::Key_Space);
        home.settle();
        EXPECT_EQ(home.sheet("home.picker.sheet"), nullptr);
        ASSERT_TRUE(home.harness.model->disk().has_value());
        EXPECT_EQ(home.harness.model->disk()->rawDevicePath, "/dev/sdc");
        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Prepare this drive"));
        EXPECT_EQ(home.element<views::ElidedLabel>("home.driveContext.name")->shownText(),
                  QStringLiteral("Other <b>&amp;</b>"));
        // The notice belongs to the empty window only.
        EXPECT_FALSE(home.has("home.drive.hiddenFixedStorage"));

        // "Change drive" opens the picker again; Cancel keeps the drive.
        auto* change = home.element<QPushButton>("home.drive.change");
        ASSERT_NE(change, nullptr);
        EXPECT_EQ(change->text(), QStringLiteral("Using Other <b>&amp;</b> · Change drive"));
        home.click("home.drive.change");
        picker = home.sheet("home.picker.sheet");
        ASSERT_NE(picker, nullptr);
        QTest::mouseClick(findElement<QPushButton>(*picker, QStringLiteral("home.picker.cancel")), Qt::LeftButton);
        home.settle();
        EXPECT_EQ(home.sheet("home.picker.sheet"), nullptr);
        EXPECT_EQ(home.harness.model->disk()->rawDevicePath, "/dev/sdc");
    }
}

TEST(HomeView, TheHiddenDriveNoticeCountsAndGoesWhenNothingIsHidden) {
    const struct {
        std::vector<DiscoveredDisk> disks;
        bool includeFixed;
        const char* notice;  // none: no notice at all
    } rows[] = {
        {{portableSsd("sdb"), portableSsd("sdc")}, false,
         "2 SSDs or hard drives are hidden to protect the data on it. To use one, choose View ▸ Show External SSDs "
         "and Hard Drives."},
        {{portableSsd("sdb")}, true, nullptr},
        {{testing::usbStick("sdb")}, false, nullptr},
    };
    for (const auto& row : rows) {
        HomeWindow home("light", row.disks);
        home.harness.includeFixedStorage = row.includeFixed;
        home.harness.runner->answer(testing::detectedNotVentoy());
        home.show();
        if (row.notice == nullptr) {
            EXPECT_FALSE(home.has("home.drive.hiddenFixedStorage"));
        } else {
            EXPECT_EQ(home.text("home.drive.hiddenFixedStorage"), QString::fromUtf8(row.notice));
            // Nothing left to choose from: no way to open the picker.
            EXPECT_FALSE(home.has("home.drive.choose"));
            EXPECT_EQ(home.sheet("home.picker.sheet"), nullptr);
        }
    }
    // A fixed drive that is shown is never chosen without asking, even alone.
    HomeWindow home("light", {portableSsd("sdb")});
    home.harness.includeFixedStorage = true;
    home.show();
    EXPECT_FALSE(home.harness.model->disk().has_value());
    EXPECT_NE(home.sheet("home.picker.sheet"), nullptr);
}

TEST(HomeView, AnImageIsAddedToAReadyDriveAndListedOnIt) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        HomeWindow home(appearance);
        std::vector<HelperImageEntry> onDrive = {HelperImageEntry("/old.iso", "old.iso", 700'000'000, false)};
        const HelperImageEntry added("/Tom <b>&amp;</b>.iso", "Tom <b>&amp;</b>.iso", 1'500'000'000, false);
        home.harness.runner->script([&](const HelperCommand& command, const HelperProgressHandler& onProgress,
                                        const HelperCancelCheck&) -> HelperResult {
            if (std::holds_alternative<HelperCommand::ListImages>(command.value)) return testing::imageListing(onDrive);
            if (std::holds_alternative<HelperCommand::AddImage>(command.value)) {
                onProgress(HelperProgress{HelperProgress::Stage::copyImage, 750'000'000, 1'500'000'000});
                onDrive.push_back(added);
                return {HelperResult::AddImage{HelperAddImageOutcome{HelperAddImageOutcome::Success{added, 100, 200}}}};
            }
            return testing::detectedVentoy(testing::ventoyLayout(), "1.1.17");
        });
        home.show();
        ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::VentoyReady>());
        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Add an image"));
        auto* first = home.element<QWidget>("home.driveImages.row.0");
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->accessibleName().left(9), QStringLiteral("old.iso, "));

        // The picker is the desktop's file chooser; here the harness answers it.
        home.harness.imageToPick = home.harness.folder.path() / "Tom <b>&amp;</b>.iso";
        auto* primary = home.element<QPushButton>("home.primaryAction");
        ASSERT_NE(primary, nullptr);
        EXPECT_EQ(primary->text(), QStringLiteral("Add an image…"));
        home.click("home.primaryAction");
        EXPECT_EQ(home.harness.imagePicks, 1);
        // No confirmation: adding an image erases nothing.
        EXPECT_EQ(home.sheet("home.confirm.sheet"), nullptr);
        ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::Done>()) << render(home.harness.model->state());
        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Added Tom <b>&amp;</b>.iso"));
        EXPECT_EQ(home.text("home.hero.subtitle"), QStringLiteral("You can safely eject the drive now."));
        EXPECT_FALSE(HomeView::continueOnPhone(home.harness.model->state()));
        EXPECT_EQ(home.text("home.done.getApp.title"), QStringLiteral("Marlowick for your phone"));
        auto* another = home.element<QPushButton>("home.secondary.addAnother");
        ASSERT_NE(another, nullptr);
        EXPECT_EQ(another->text(), QStringLiteral("Add another"));
        testing::saveScreenshot(*home.window, std::string("home-done-add-image-") + appearance);

        // "Add another" reads the drive again and asks for the next file; choosing none
        // leaves the drive ready, now listing both images.
        home.harness.imageToPick.reset();
        home.click("home.secondary.addAnother");
        EXPECT_EQ(home.harness.imagePicks, 2);
        ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::VentoyReady>()) << render(home.harness.model->state());
        auto* second = home.element<QWidget>("home.driveImages.row.1");
        ASSERT_NE(second, nullptr);
        EXPECT_TRUE(second->accessibleName().startsWith(QStringLiteral("Tom <b>&amp;</b>.iso, ")))
            << second->accessibleName().toStdString();
        testing::saveScreenshot(*home.window, std::string("home-ready-two-images-") + appearance);
    }
}

TEST(HomeView, APreparesOptionsShowTheOlderReleaseNoteAndBlockTheButtonWhileInvalid) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        HomeWindow home(appearance);
        home.harness.runner->answer(testing::detectedNotVentoy());
        home.show();
        ui::Sheet* sheet = home.confirmWithAdvancedOptions();
        ASSERT_NE(sheet, nullptr);

        auto* version = findElement<QComboBox>(*sheet, QStringLiteral("home.confirm.advanced.version"));
        auto* note = findElement<viewkit::Note>(*sheet, QStringLiteral("home.confirm.advanced.versionOlderNote"));
        ASSERT_NE(version, nullptr);
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(version->currentText(), QStringLiteral("1.1.17 (recommended)"));
        EXPECT_FALSE(note->isVisible());

        // An older release, chosen with the arrow keys, brings the note naming the recommended one.
        version->setFocus(Qt::TabFocusReason);
        QTest::keyClick(version, Qt::Key_Down);
        home.settle();
        EXPECT_EQ(home.harness.model->advancedOptions().selectedVentoyVersion, "1.1.16");
        EXPECT_EQ(version->currentText(), QStringLiteral("1.1.16"));
        EXPECT_TRUE(note->isVisible());
        EXPECT_EQ(note->text(), QStringLiteral("Older than the recommended 1.1.17. Newer releases usually boot more "
                                               "machines — pick it only if you need this exact version."));
        EXPECT_LE(sheet->height(), home.window->height());
        testing::saveScreenshot(*sheet, std::string("home-confirm-prepare-older-release-") + appearance);
        QTest::keyClick(version, Qt::Key_Up);
        home.settle();
        EXPECT_EQ(home.harness.model->advancedOptions().selectedVentoyVersion, "1.1.17");
        EXPECT_FALSE(note->isVisible());

        // Ticked but with a label too long: the button stays off and no key starts the erase.
        auto* acknowledge = findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge"));
        auto* action = findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action"));
        auto* label = findElement<QLineEdit>(*sheet, QStringLiteral("home.confirm.advanced.label"));
        ASSERT_NE(label, nullptr);
        QTest::mouseClick(acknowledge, Qt::LeftButton);
        EXPECT_TRUE(action->isEnabled());
        QTest::keyClicks(label, QStringLiteral("MUCH_TOO_LONG"));
        home.settle();
        EXPECT_FALSE(action->isEnabled());
        home.pressReturnOn({label, sheet, acknowledge});
        EXPECT_EQ(home.harness.model->pendingOperation(), Kind::prepare);
        EXPECT_TRUE(home.harness.model->state().is<HomeDriveState::Prepare>());
        EXPECT_EQ(home.harness.runner->commands().size(), 1U);  // the detection only
        EXPECT_TRUE(acknowledge->isChecked());

        // The reserve's wrapped caption toggles it too; no amount yet keeps the button off.
        QTest::keyClick(label, Qt::Key_Backspace);
        QTest::keyClick(label, Qt::Key_Backspace);
        home.settle();
        EXPECT_TRUE(action->isEnabled());
        QTest::mouseClick(findElement(*sheet, QStringLiteral("home.confirm.advanced.reserveToggle.caption")),
                          Qt::LeftButton);
        home.settle();
        EXPECT_TRUE(home.harness.model->advancedOptions().reserveEnabled);
        EXPECT_TRUE(findElement(*sheet, QStringLiteral("home.confirm.advanced.reserveAmount"))->isVisible());
        EXPECT_EQ(findElement(*sheet, QStringLiteral("home.confirm.advanced.validation"))->accessibleName(),
                  QStringLiteral("Enter how much space to leave free, or turn off “Reserve space”."));
        EXPECT_FALSE(action->isEnabled());
        EXPECT_EQ(findElement(*sheet, QStringLiteral("home.confirm.advanced.reserveToggle"))->accessibleName(),
                  QStringLiteral("Leave free space at the end of the disk"));
        testing::saveScreenshot(*sheet, std::string("home-confirm-prepare-reserve-") + appearance);
    }
}

TEST(HomeView, AtItsMinimumSizeTheWindowShowsEachStateWhole) {
    const struct {
        const char* name;
        HelperResult answer;
    } rows[] = {
        {"prepare", testing::detectedNotVentoy()},
        {"ready", testing::detectedVentoy(testing::ventoyLayout(), "1.1.15")},
        {"unreadable",
         HelperResult{HelperResult::DetectReadFailed{HelperBlockError{BlockError::DeviceFailure{"read", "I/O error"}}}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HomeWindow home;
        home.harness.runner->script([&row](const HelperCommand& command, const HelperProgressHandler&,
                                           const HelperCancelCheck&) -> HelperResult {
            if (std::holds_alternative<HelperCommand::ListImages>(command.value)) {
                return testing::imageListing({HelperImageEntry("/a.iso", "a.iso", 700'000'000, false)});
            }
            return row.answer;
        });
        home.show();
        home.window->resize(home.window->minimumSize());
        home.settle();
        EXPECT_EQ(home.window->size(), home.window->minimumSize());
        // The card keeps its width; what the window cannot hold scrolls into view.
        auto* card = home.element("home.hero.card");
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->width(), 440);
        auto* content = home.element<QScrollArea>("home.content");
        ASSERT_NE(content, nullptr);
        // The brand header over the corner leaves the state's icon clear.
        const auto placed = [&home](const char* identifier) {
            QWidget* widget = home.element(identifier);
            return widget != nullptr ? QRect(widget->mapTo(home.window.get(), QPoint(0, 0)), widget->size()) : QRect();
        };
        EXPECT_FALSE(placed("home.brandHeader").intersects(placed("home.hero.icon")));
        testing::saveScreenshot(*home.window, std::string("home-minimum-size-") + row.name);
        auto* primary = home.element("home.primaryAction");
        ASSERT_NE(primary, nullptr);
        content->ensureWidgetVisible(primary);
        QApplication::processEvents();
        const QRect shown = content->viewport()->rect();
        const QRect button(primary->mapTo(content->viewport(), QPoint(0, 0)), primary->size());
        EXPECT_TRUE(shown.contains(button)) << row.name;
        testing::saveScreenshot(*home.window, std::string("home-minimum-size-scrolled-") + row.name);
    }
}

}  // namespace
}  // namespace marlowick
