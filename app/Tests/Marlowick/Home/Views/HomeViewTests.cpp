#include "Home/Views/HomeView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "Design/BrandStyle.hpp"
#include "Home/OperationConfirmationPresentation.hpp"
#include "Home/Views/OperationConfirmationView.hpp"
#include "Home/Views/OperationProgressView.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "WidgetSupport/HomeWindow.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;
using testing::findElement;

using Home = testing::HomeWindow;
using testing::focusable;
using testing::tabbed;

QString qt(const std::string& text) { return QString::fromStdString(text); }

HelperResult detectedIncompatible(const std::string& reason) {
    return {HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::IncompatibleVentoy{reason}}}};
}

TEST(HomeView, WithoutADriveOffersRescanAndTheBootGuide) {
    for (const char* appearance : {"light", "dark"}) {
        Home home(appearance, {});
        home.show();
        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Connect a USB drive"));
        EXPECT_EQ(home.text("home.hero.subtitle"), QStringLiteral("Plug in a USB drive to prepare it as a multiboot disk."));
        EXPECT_NE(home.element("home.drive.rescan"), nullptr);
        EXPECT_EQ(home.window->findChild<QWidget*>(QStringLiteral("home.drive.choose")), nullptr);
        EXPECT_EQ(home.window->findChild<QWidget*>(QStringLiteral("home.primaryAction")), nullptr);
        EXPECT_EQ(home.window->findChild<QWidget*>(QStringLiteral("home.drive.hiddenFixedStorage")), nullptr);
        auto* guide = home.element("home.drive.bootGuide");
        ASSERT_NE(guide, nullptr);
        EXPECT_EQ(guide->accessibleDescription(), QStringLiteral("Shows how to start a computer from a Ventoy drive."));
        testing::saveScreenshot(*home.window, std::string("home-no-drive-") + appearance);

        // The boot guide's sheet follows its model property both ways.
        home.click("home.drive.bootGuide");
        EXPECT_TRUE(home.harness.model->isShowingBootGuide());
        ui::Sheet* sheet = home.sheet("home.bootGuide.sheet");
        ASSERT_NE(sheet, nullptr);
        QTest::keyClick(sheet, Qt::Key_Escape);
        home.settle();
        EXPECT_FALSE(home.harness.model->isShowingBootGuide());
        EXPECT_EQ(home.sheet("home.bootGuide.sheet"), nullptr);
        home.harness.model->setIsShowingBootGuide(true);
        home.settle();
        ASSERT_NE(home.sheet("home.bootGuide.sheet"), nullptr);
        home.harness.model->setIsShowingBootGuide(false);
        home.settle();
        EXPECT_EQ(home.sheet("home.bootGuide.sheet"), nullptr);
    }
}

TEST(HomeView, PreparesADriveThroughTheSheetThatReturnNeverConfirms) {
    for (const char* appearance : {"light", "dark"}) {
        Home home(appearance, {testing::usbStick("sdb", "SER1", "Tom <b>&amp;</b> Jerry")});
        home.harness.acquire = [&home](const std::optional<std::string>& version, const auto&, const auto&) {
            return testing::acquiredAssets(version.value_or("1.1.17"), home.harness.folder.path());
        };
        home.harness.runner->script([](const HelperCommand& command, const HelperProgressHandler& onProgress,
                                       const HelperCancelCheck&) -> HelperResult {
            if (std::holds_alternative<HelperCommand::Detect>(command.value)) return testing::detectedNotVentoy();
            onProgress(HelperProgress{HelperProgress::Stage::writeCore, 512, 1024});
            return testing::operationSucceeded(HelperDriveOperationReport::Kind::prepare);
        });
        home.show();

        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Prepare this drive"));
        // One drive: no way to change it, and its name shows exactly as it is.
        EXPECT_EQ(home.window->findChild<QWidget*>(QStringLiteral("home.drive.change")), nullptr);
        auto* name = home.element<views::ElidedLabel>("home.driveContext.name");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->shownText(), QStringLiteral("Tom <b>&amp;</b> Jerry"));
        auto* primary = home.element<QPushButton>("home.primaryAction");
        ASSERT_NE(primary, nullptr);
        EXPECT_EQ(primary->text(), QStringLiteral("Prepare…"));
        EXPECT_EQ(primary->accessibleName(), QStringLiteral("Prepare drive"));
        testing::saveScreenshot(*home.window, std::string("home-prepare-") + appearance);

        // Return on the hero only opens the confirmation.
        QTest::keyClick(home.window->windowHandle(), Qt::Key_Return);
        QTest::qWait(250);  // a shortcut presses its button visibly first
        home.settle();
        ASSERT_EQ(home.harness.model->pendingOperation(), Kind::prepare);
        ui::Sheet* sheet = home.sheet("home.confirm.sheet");
        ASSERT_NE(sheet, nullptr);
        EXPECT_LE(sheet->height(), home.window->height());
        auto* action = findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action"));
        auto* acknowledge = findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge"));
        ASSERT_NE(action, nullptr);
        ASSERT_NE(acknowledge, nullptr);
        EXPECT_FALSE(action->isEnabled());
        EXPECT_EQ(acknowledge->accessibleName(), QStringLiteral("Confirm you understand this erases Tom <b>&amp;</b> Jerry"));
        EXPECT_EQ(acknowledge->accessibleDescription(), QStringLiteral("Enables the Prepare button."));
        auto* caption = findElement<QLabel>(*sheet, QStringLiteral("home.confirm.acknowledge.caption"));
        ASSERT_NE(caption, nullptr);
        // Shown in bold, character for character.
        EXPECT_NE(caption->text().indexOf(QStringLiteral("<b>Tom &lt;b&gt;&amp;amp;&lt;/b&gt; Jerry</b>")), -1);

        QTest::mouseClick(acknowledge, Qt::LeftButton);
        EXPECT_TRUE(action->isEnabled());
        // Return and Enter never confirm an erase, wherever the focus is.
        home.pressReturnOn({sheet, action, acknowledge});
        EXPECT_EQ(home.harness.model->pendingOperation(), Kind::prepare);
        EXPECT_TRUE(home.harness.model->state().is<HomeDriveState::Prepare>());
        testing::saveScreenshot(*sheet, std::string("home-confirm-prepare-") + appearance);

        // Escape cancels: the sheet closes and the model forgets the request.
        QTest::keyClick(sheet, Qt::Key_Escape);
        home.settle();
        EXPECT_EQ(home.harness.model->pendingOperation(), std::nullopt);
        EXPECT_EQ(home.sheet("home.confirm.sheet"), nullptr);

        // Asked again, the acknowledgement starts unticked; a click confirms.
        home.click("home.primaryAction");
        sheet = home.sheet("home.confirm.sheet");
        ASSERT_NE(sheet, nullptr);
        acknowledge = findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge"));
        ASSERT_NE(acknowledge, nullptr);
        EXPECT_FALSE(acknowledge->isChecked());
        QTest::mouseClick(acknowledge, Qt::LeftButton);
        QTest::mouseClick(findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action")), Qt::LeftButton);
        home.settle();
        EXPECT_EQ(home.sheet("home.confirm.sheet"), nullptr);
        const bool ran = std::any_of(home.harness.states.begin(), home.harness.states.end(),
                                     [](const HomeDriveState& state) { return state.is<HomeDriveState::OperationRunning>(); });
        EXPECT_TRUE(ran);
        ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::Done>()) << render(home.harness.model->state());
        EXPECT_TRUE(std::get<HomeDriveState::Done>(home.harness.model->state().value).outcome.isSuccess())
            << render(home.harness.model->state());
        EXPECT_NE(home.element("home.secondary.addAnother"), nullptr);
        EXPECT_NE(home.element("home.secondary.bootGuide"), nullptr);
        EXPECT_TRUE(HomeView::continueOnPhone(home.harness.model->state()));
        // The panel beside the hero now invites to go on with the phone.
        EXPECT_EQ(home.text("home.done.getApp.title"), QStringLiteral("Next: continue on your phone"));
        testing::saveScreenshot(*home.window, std::string("home-done-prepare-") + appearance);
    }
}

// The desktop turns dark while the confirmation is open: the hero takes the dark brand
// colours, and the sheet is made again in them, still bound to the model; the erase must be
// acknowledged again.
TEST(HomeView, TheHeroAndAnOpenSheetTakeANewAppearance) {
    Home home("light");
    home.harness.runner->script(
        [](const HelperCommand&, const HelperProgressHandler&, const HelperCancelCheck&) -> HelperResult {
            return testing::detectedNotVentoy();
        });
    home.show();
    home.click("home.primaryAction");
    ui::Sheet* sheet = home.sheet("home.confirm.sheet");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->palette().color(QPalette::Window), BrandStyle::color(BrandColor::surface, Appearance::light));
    QTest::mouseClick(findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge")), Qt::LeftButton);

    // A theme change that leaves the appearance as it was leaves the sheet as it was.
    testing::useAppearance("light");
    home.settle();
    ASSERT_EQ(home.sheet("home.confirm.sheet"), sheet);
    EXPECT_TRUE(findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge"))->isChecked());

    testing::useAppearance("dark");
    home.settle();
    EXPECT_EQ(home.element<QLabel>("home.hero.title")->palette().color(QPalette::WindowText),
              BrandStyle::color(BrandColor::textHeading, Appearance::dark));
    ui::Sheet* remade = home.sheet("home.confirm.sheet");
    ASSERT_NE(remade, nullptr);
    EXPECT_EQ(remade->palette().color(QPalette::Window), BrandStyle::color(BrandColor::surface, Appearance::dark));
    EXPECT_EQ(home.harness.model->pendingOperation(), Kind::prepare);
    auto* acknowledge = findElement<QCheckBox>(*remade, QStringLiteral("home.confirm.acknowledge"));
    ASSERT_NE(acknowledge, nullptr);
    EXPECT_FALSE(acknowledge->isChecked());
    EXPECT_FALSE(findElement<QPushButton>(*remade, QStringLiteral("home.confirm.action"))->isEnabled());
    testing::saveScreenshot(*remade, "home-confirm-prepare-after-turning-dark");

    // Still bound to the model both ways.
    QTest::mouseClick(findElement<QPushButton>(*remade, QStringLiteral("home.confirm.cancel")), Qt::LeftButton);
    home.settle();
    EXPECT_EQ(home.harness.model->pendingOperation(), std::nullopt);
    EXPECT_EQ(home.sheet("home.confirm.sheet"), nullptr);
    home.harness.model->setIsShowingBootGuide(true);
    home.settle();
    ASSERT_NE(home.sheet("home.bootGuide.sheet"), nullptr);
    testing::useAppearance("light");
    home.settle();
    ASSERT_NE(home.sheet("home.bootGuide.sheet"), nullptr);
    home.harness.model->setIsShowingBootGuide(false);
    home.settle();
    EXPECT_EQ(home.sheet("home.bootGuide.sheet"), nullptr);
}

TEST(HomeView, CancelsDuringTheDownloadAndDuringTheHelperRun) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        Home home(appearance);
        std::atomic<bool> sawCancel = false;
        home.harness.acquire = [&home](const std::optional<std::string>& version, const auto&, const auto&) {
            return testing::acquiredAssets(version.value_or("1.1.17"), home.harness.folder.path());
        };
        home.harness.runner->script([&sawCancel](const HelperCommand& command, const HelperProgressHandler&,
                                                 const HelperCancelCheck& isCancelled) -> HelperResult {
            if (std::holds_alternative<HelperCommand::Detect>(command.value)) return testing::detectedNotVentoy();
            sawCancel = isCancelled();
            HelperDriveOperationReport report;
            report.kind = HelperDriveOperationReport::Kind::prepare;
            report.wasCancelled = true;
            return {HelperResult::DriveOperation{report}};
        });
        home.show();
        for (bool duringHelper : {false, true}) {
            SCOPED_TRACE(duringHelper ? "during the helper run" : "during the download");
            home.harness.model->requestOperation(Kind::prepare);
            home.settle();
            ui::Sheet* sheet = home.sheet("home.confirm.sheet");
            ASSERT_NE(sheet, nullptr);
            QTest::mouseClick(findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge")),
                              Qt::LeftButton);
            QTest::mouseClick(findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action")),
                              Qt::LeftButton);
            home.harness.main.runAll();
            if (duringHelper) {
                home.harness.background.runOne();  // the download
                home.harness.main.runAll();
            }
            QApplication::processEvents();
            home.view->renderPending();
            ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::OperationRunning>());
            auto* cancel = home.element<QPushButton>("home.operation.cancel");
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->accessibleDescription(), QStringLiteral("Stops the operation and returns to the start."));
            // The card names the drive being written.
            auto* drive = home.element<views::ElidedLabel>("home.operation.drive.name");
            ASSERT_NE(drive, nullptr);
            EXPECT_EQ(drive->shownText(), QStringLiteral("Stick"));
            const std::string stage = duringHelper ? "helper-" : "download-";
            testing::saveScreenshot(*home.window, "home-progress-" + stage + appearance);
            home.window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(home.window.get()));
            QTest::keyClick(home.window->windowHandle(), Qt::Key_Escape);
            QTest::qWait(250);
            EXPECT_TRUE(home.harness.model->isOperationCancelRequested());
            home.settle();
            EXPECT_TRUE(home.harness.model->state().is<HomeDriveState::Prepare>()) << render(home.harness.model->state());
            EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("Prepare this drive"));
        }
        EXPECT_TRUE(sawCancel);
    }
}

TEST(HomeView, AReadyDriveOffersUpdateAndRemove) {
    for (const char* installed : {"1.1.15", "1.1.17", "not a version"}) {
        SCOPED_TRACE(installed);
        Home home;
        home.harness.runner->answer(testing::detectedVentoy(testing::ventoyLayout(), std::string(installed)));
        home.show();
        ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::VentoyReady>());
        auto* update = home.element<QPushButton>("home.secondary.update");
        ASSERT_NE(update, nullptr);
        const bool older = std::string(installed) == "1.1.15";
        EXPECT_EQ(update->text(), older ? QStringLiteral("Update to 1.1.17") : QStringLiteral("Reinstall boot files"));
        EXPECT_EQ(update->font().weight() == QFont::DemiBold, older);
        EXPECT_EQ(update->accessibleName(), QStringLiteral("Update Ventoy"));
        EXPECT_EQ(HomeView::backdropAccent(home.harness.model->state(), "1.1.17"),
                  older ? BrandColor::accent : BrandColor::successText);
        // A ready drive is never warned about as an erase target.
        EXPECT_EQ(home.window->findChild<QWidget*>(QStringLiteral("home.hero.largeDriveCaution")), nullptr);
        if (older) {
            testing::saveScreenshot(*home.window, "home-ready-update-available-light");
            Home dark("dark");
            dark.harness.runner->answer(testing::detectedVentoy(testing::ventoyLayout(), std::string(installed)));
            dark.show();
            testing::saveScreenshot(*dark.window, "home-ready-update-available-dark");
        }

        // An update keeps the images: Return confirms it at once.
        home.click("home.secondary.update");
        ui::Sheet* sheet = home.sheet("home.confirm.sheet");
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->findChild<QCheckBox*>(QStringLiteral("home.confirm.acknowledge")), nullptr);
        EXPECT_EQ(sheet->findChild<QWidget*>(QStringLiteral("home.confirm.advanced.disclosure")), nullptr);
        auto* action = findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action"));
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isEnabled());
        EXPECT_TRUE(action->isDefault());
        // Its header shows the update's symbol (the sheet's screenshot checks every symbol slot).
        if (older) testing::saveScreenshot(*sheet, "home-confirm-update-light");
        QTest::keyClick(sheet, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_EQ(home.harness.model->pendingOperation(), std::nullopt);
        EXPECT_TRUE(home.harness.model->state().is<HomeDriveState::OperationRunning>());
    }
}

TEST(HomeView, RemovingVentoyAsksForValidOptionsAndTheTick) {
    for (const char* appearance : {"light", "dark"}) {
        Home home(appearance);
        home.harness.runner->answer(testing::detectedVentoy(testing::ventoyLayout(), "1.1.17"));
        home.show();
        home.click("home.secondary.remove");
        ASSERT_EQ(home.harness.model->pendingOperation(), Kind::removeVentoy);
        ui::Sheet* sheet = home.sheet("home.confirm.sheet");
        ASSERT_NE(sheet, nullptr);
        auto* disclosure = findElement<QAbstractButton>(*sheet, QStringLiteral("home.confirm.advanced.disclosure"));
        ASSERT_NE(disclosure, nullptr);
        QTest::mouseClick(disclosure, Qt::LeftButton);
        home.settle();
        // Removal formats exFAT and installs nothing: four rows.
        EXPECT_EQ(findElement<QLabel>(*sheet, QStringLiteral("home.confirm.advanced.filesystem"))->text(),
                  QStringLiteral("exFAT"));
        for (const char* absent : {"home.confirm.advanced.align", "home.confirm.advanced.reserveToggle",
                                   "home.confirm.advanced.version"}) {
            EXPECT_EQ(sheet->findChild<QWidget*>(QString::fromUtf8(absent)), nullptr) << absent;
        }
        QTest::mouseClick(findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge")), Qt::LeftButton);
        auto* action = findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action"));
        EXPECT_TRUE(action->isEnabled());

        auto* label = findElement<QLineEdit>(*sheet, QStringLiteral("home.confirm.advanced.label"));
        ASSERT_NE(label, nullptr);
        QTest::keyClicks(label, QStringLiteral("TWELVE_CHARS"));
        home.settle();
        EXPECT_EQ(home.harness.model->advancedOptions().volumeLabel, "TWELVE_CHARS");
        auto* validation = findElement(*sheet, QStringLiteral("home.confirm.advanced.validation"));
        ASSERT_NE(validation, nullptr);
        EXPECT_TRUE(validation->isVisible());
        EXPECT_EQ(validation->accessibleName(), QStringLiteral("The volume label can be at most 11 characters."));
        EXPECT_FALSE(action->isEnabled());
        testing::saveScreenshot(*sheet, std::string("home-confirm-remove-invalid-") + appearance);
        QTest::keyClick(label, Qt::Key_Backspace);
        home.settle();
        EXPECT_FALSE(validation->isVisible());
        EXPECT_TRUE(action->isEnabled());

        // Tab reaches every control of the sheet.
        QWidget* first = findElement(*sheet, QStringLiteral("home.confirm.advanced.disclosure"));
        const std::set<QWidget*> reached = tabbed(*first, *sheet);
        for (QWidget* control : focusable(*sheet)) {
            EXPECT_TRUE(reached.count(control)) << control->objectName().toStdString();
        }
        // Closing the window's sheet by its own Cancel clears the request.
        QTest::mouseClick(findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.cancel")), Qt::LeftButton);
        home.settle();
        EXPECT_EQ(home.harness.model->pendingOperation(), std::nullopt);
        EXPECT_EQ(home.sheet("home.confirm.sheet"), nullptr);
    }
}

TEST(HomeView, AnIncompatibleDriveIsReinstalledAndALargeOneIsNamed) {
    DiscoveredDisk large = testing::usbStick("sdc");
    large.geometry = BlockGeometry{512, 390'625'000, 200'000'000'000};
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        Home home(appearance, {large});
        home.harness.runner->answer(detectedIncompatible("Partition 2 is <b>too small</b>."));
        home.show();
        EXPECT_EQ(home.text("home.hero.title"), QStringLiteral("This drive can't be updated in place"));
        // The detector's reason is a technical line: the subtitle is the sentence for every such drive.
        EXPECT_EQ(home.text("home.hero.subtitle"),
                  QStringLiteral("This drive has a Ventoy layout that Marlowick can't update in place. A full reinstall "
                                 "is required, which erases the drive."));
        EXPECT_NE(home.element("home.hero.largeDriveCaution"), nullptr);
        EXPECT_NE(home.element("home.stateInfo"), nullptr);
        testing::saveScreenshot(*home.window, std::string("home-incompatible-large-") + appearance);
        home.click("home.primaryAction");
        ui::Sheet* sheet = home.sheet("home.confirm.sheet");
        ASSERT_NE(sheet, nullptr);
        EXPECT_NE(findElement(*sheet, QStringLiteral("home.confirm.largeDriveCaution")), nullptr);
        EXPECT_EQ(findElement(*sheet, QStringLiteral("home.confirm.acknowledge"))->accessibleDescription(),
                  QStringLiteral("Enables the Reinstall button."));
        EXPECT_EQ(findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action"))->text(), QStringLiteral("Reinstall"));
        QTest::mouseClick(findElement<QAbstractButton>(*sheet, QStringLiteral("home.confirm.advanced.disclosure")),
                          Qt::LeftButton);
        home.settle();
        // The sheet never outgrows the window; what does not fit scrolls.
        EXPECT_LE(sheet->height(), home.window->height());
        testing::saveScreenshot(*sheet, std::string("home-confirm-reinstall-advanced-") + appearance);
    }
}

TEST(HomeView, UnreadableDrivesAndErrorsOfferToReadAgain) {
    const struct {
        HelperResult answer;
        const char* title;
        const char* retry;  // the control that reads again
    } rows[] = {
        {HelperResult{HelperResult::DetectReadFailed{HelperBlockError{BlockError::DeviceFailure{"read", "I/O error"}}}},
         "This drive couldn't be read", "home.secondary.tryAgain"},
        {HelperResult::failed(HelperCommandError::CouldNotOpenDevice{"Tom &amp; <i>Jerry</i> took the drive."}),
         "Something went wrong",
         "home.primaryAction"},
    };
    for (const auto& row : rows) {
        for (const char* appearance : {"light", "dark"}) {
            SCOPED_TRACE(std::string(row.title) + ", " + appearance);
            Home home(appearance);
            home.harness.runner->answer(row.answer);
            home.show();
            EXPECT_EQ(home.text("home.hero.title"), QString::fromUtf8(row.title));
            if (home.harness.model->state().is<HomeDriveState::Error>()) {
                EXPECT_EQ(home.text("home.hero.subtitle"), QStringLiteral("Tom &amp; <i>Jerry</i> took the drive."));
            }
            testing::saveScreenshot(*home.window, std::string("home-") + (row.retry[5] == 's' ? "unreadable-" : "error-") +
                                                      appearance);
            const auto before = home.harness.runner->commands().size();
            home.click(row.retry);
            EXPECT_EQ(home.harness.runner->commands().size(), before + 1);
        }
    }
}

TEST(HomeView, ARawWriteShowsTheImageItsNoticesAndNeedsOnlyTheTick) {
    using Notice = RawWritePreflightNotice;
    const struct {
        RawWriteRouting::Bootability bootability;
        std::vector<Notice> notices;
        const char* name;
    } rows[] = {
        {RawWriteRouting::Bootability::biosAndUefi, {}, "plain"},
        {RawWriteRouting::Bootability::unverified, {Notice{Notice::Truncated{4'000'000'000, 3'000'000'000}}}, "truncated"},
        {RawWriteRouting::Bootability::unverified, {Notice{Notice::NoBootRecord{}}}, "no-boot-record"},
        {RawWriteRouting::Bootability::biosOnly, {Notice{Notice::BiosOnly{}}}, "bios-only"},
    };
    for (const auto& row : rows) {
        for (const char* appearance : {"light", "dark"}) {
            SCOPED_TRACE(std::string(row.name) + ", " + appearance);
            Home home(appearance);
            home.harness.runner->answer(testing::detectedNotVentoy());
            home.show();
            const RawWriteRouting::Verdict verdict{RawWriteRouting::Verdict::RawWrite{row.bootability}};
            home.harness.model->setPendingRawImage(HomeViewModel::PendingRawImage{
                home.harness.folder.path() / "Tom <b> &amp; x.img", 3'000'000'000, verdict, row.notices});
            home.harness.model->setPendingOperation(Kind::writeRawImage);
            home.settle();
            ui::Sheet* sheet = home.sheet("home.confirm.sheet");
            ASSERT_NE(sheet, nullptr);
            EXPECT_EQ(findElement<QLabel>(*sheet, QStringLiteral("home.confirm.rawImage.name"))->text(),
                      QStringLiteral("Tom <b> &amp; x.img"));
            EXPECT_EQ(sheet->findChild<QWidget*>(QStringLiteral("home.confirm.rawImage.bootability")) != nullptr,
                      verdict.bootabilityNote().has_value());
            for (std::size_t index = 0; index < row.notices.size(); ++index) {
                auto* notice = findElement<QLabel>(*sheet, QStringLiteral("home.confirm.rawImage.notice.%1.text").arg(index));
                ASSERT_NE(notice, nullptr);
                EXPECT_EQ(notice->text(), qt(row.notices[index].message()));
            }
            EXPECT_EQ(sheet->findChild<QWidget*>(QStringLiteral("home.confirm.advanced.disclosure")), nullptr);
            auto* action = findElement<QPushButton>(*sheet, QStringLiteral("home.confirm.action"));
            EXPECT_EQ(action->text(), QStringLiteral("Write"));
            EXPECT_FALSE(action->isEnabled());
            QTest::mouseClick(findElement<QCheckBox>(*sheet, QStringLiteral("home.confirm.acknowledge")), Qt::LeftButton);
            EXPECT_TRUE(action->isEnabled());
            QTest::keyClick(sheet, Qt::Key_Return);
            home.settle();
            EXPECT_EQ(home.harness.model->pendingOperation(), Kind::writeRawImage);
            testing::saveScreenshot(*sheet, std::string("home-confirm-raw-") + row.name + "-" + appearance);
            // Closed by the window manager: the model forgets the image too.
            sheet->close();
            home.settle();
            EXPECT_EQ(home.harness.model->pendingOperation(), std::nullopt);
            EXPECT_EQ(home.harness.model->pendingRawImage(), std::nullopt);
        }
    }
}

TEST(HomeView, TheRawWriteRefusalShowsItsTextAsItIs) {
    Home home;
    home.harness.runner->answer(testing::detectedNotVentoy());
    home.show();
    home.harness.model->setRawWriteBlockedMessage("This is <b>an ISO</b> &amp; more.");
    home.settle();
    auto* alert = home.window->findChild<QMessageBox*>(QStringLiteral("home.rawWriteBlocked.alert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), QStringLiteral("This image can't be written that way"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("This is <b>an ISO</b> &amp; more."));
    QTest::mouseClick(findElement<QPushButton>(*alert, QStringLiteral("home.rawWriteBlocked.ok")), Qt::LeftButton);
    home.settle();
    EXPECT_EQ(home.harness.model->rawWriteBlockedMessage(), std::nullopt);
}

TEST(HomeView, TabReachesEveryControlOfTheHero) {
    Home home("light", {testing::usbStick("sdb"), testing::usbStick("sdc", "SER2")});
    home.harness.runner->answer(testing::detectedNotVentoy());
    home.show();
    // Two drives: the picker opens first; pick one.
    if (home.harness.model->isPickingDisk()) home.harness.model->selectDisk(home.harness.model->availableDisks().front());
    home.settle();
    ASSERT_TRUE(home.harness.model->state().is<HomeDriveState::Prepare>()) << render(home.harness.model->state());
    auto* change = home.element<QPushButton>("home.drive.change");
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->text(), QStringLiteral("Using Stick · Change drive"));
    QWidget* root = home.view;
    const std::set<QWidget*> reached = tabbed(*home.element("home.primaryAction"), *root);
    for (QWidget* control : focusable(*root)) {
        EXPECT_TRUE(reached.count(control)) << control->objectName().toStdString();
    }
}

TEST(OperationProgressView, PercentAndTimeRemaining) {
    const struct {
        double fraction;
        const char* text;
    } percents[] = {{0.625, "63%"}, {0.004, "0%"}, {1.0, "100%"}, {0.0, "0%"}, {0.005, "1%"}};
    for (const auto& row : percents) EXPECT_EQ(OperationProgressView::percentText(row.fraction), row.text);
    const struct {
        double seconds;
        std::optional<std::string> text;
    } etas[] = {
        {0, std::nullopt},           {-5, std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {0.5, "almost done"},         {9.99, "almost done"},
        {10, "about 10 seconds remaining"}, {14.9, "about 10 seconds remaining"},
        {15, "about 20 seconds remaining"}, {55, "about 60 seconds remaining"},
        {60, "about a minute remaining"}, {89.9, "about a minute remaining"},
        {90, "about 2 minutes remaining"}, {1829, "about 30 minutes remaining"},
        {1830, "over half an hour remaining"},
    };
    for (const auto& row : etas) EXPECT_EQ(OperationProgressView::etaText(row.seconds), row.text) << row.seconds;
}

TEST(OperationProgressView, TheDetailRowAndTheBarThatNeverGoesBack) {
    testing::HomeModelHarness harness;
    const auto catalog = harness.catalog->catalog();
    const struct {
        std::optional<std::string> detail;
        std::optional<double> eta;
        bool detailShown, separatorShown, etaShown;
    } rows[] = {
        {std::nullopt, std::nullopt, false, false, false},
        {"a-very-long-file-name-of-a-disk-image-that-does-not-fit-on-one-line-at-all-really.iso", std::nullopt, true,
         false, false},
        {std::nullopt, 120.0, false, false, true},
        {"<b>a.iso</b>", 120.0, true, true, true},
    };
    for (const auto& row : rows) {
        OperationProgressView view(Kind::addImage, HomeOperationProgress{0.5, "Copying image…", row.detail, row.eta},
                                   std::nullopt, *catalog, [] {});
        view.resize(600, 500);
        view.show();
        QApplication::processEvents();
        auto* detail = findElement<QLabel>(view, QStringLiteral("home.operation.progress.detail"));
        EXPECT_EQ(detail->isVisible(), row.detailShown);
        EXPECT_EQ(findElement(view, QStringLiteral("home.operation.progress.separator"))->isVisible(), row.separatorShown);
        EXPECT_EQ(findElement(view, QStringLiteral("home.operation.progress.eta"))->isVisible(), row.etaShown);
        if (row.detailShown) {
            EXPECT_EQ(detail->textFormat(), Qt::PlainText);
            EXPECT_EQ(detail->accessibleName(), qt(*row.detail));
            EXPECT_LE(detail->fontMetrics().horizontalAdvance(detail->text()), detail->width() + 1);
        }
        // Adding an image installs no boot files: no licence notice.
        EXPECT_EQ(view.findChild<QWidget*>(QStringLiteral("home.operation.gplNotice")), nullptr);
    }

    OperationProgressView view(Kind::update, HomeOperationProgress{0.5, "Writing boot image…", std::nullopt, std::nullopt},
                               std::nullopt, *catalog, [] {});
    auto* bar = findElement(view, QStringLiteral("home.operation.progress"));
    view.setProgress(HomeOperationProgress{0.3, "Verifying boot image…", std::nullopt, std::nullopt});
    EXPECT_EQ(view.shownFraction(), 0.5);
    EXPECT_EQ(bar->accessibleName(), QStringLiteral("Updating Ventoy, Verifying boot image…, 50 percent"));
    EXPECT_EQ(findElement<QLabel>(view, QStringLiteral("home.operation.progress.percent"))->text(), QStringLiteral("50%"));
    view.setProgress(HomeOperationProgress{0.625, "Writing partition table…", std::nullopt, std::nullopt});
    EXPECT_EQ(bar->accessibleName(), QStringLiteral("Updating Ventoy, Writing partition table…, 63 percent"));
    auto* notice = findElement(view, QStringLiteral("home.operation.gplNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->accessibleName(),
              qt("Ventoy " + catalog->recommended().version() +
                 " boot files are downloaded from the Ventoy project and licensed under the GNU GPL v3."));
}

TEST(OperationProgressView, NamesTheDriveItWorksOnAsItIsCalled) {
    testing::HomeModelHarness harness;
    const auto catalog = harness.catalog->catalog();
    const HomeOperationProgress running{0.5, "Writing boot image…", std::nullopt, std::nullopt};
    OperationProgressView view(Kind::prepare, running, std::nullopt, *catalog, [] {},
                               OperationProgressView::Target{"Tom <b>&amp;</b> Stick", 16'000'000'000});
    view.resize(600, 560);
    view.show();
    QApplication::processEvents();
    auto* drive = findElement(view, QStringLiteral("home.operation.drive"));
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->accessibleName(), qt("Tom <b>&amp;</b> Stick, " + ByteCountText::fileSize(16'000'000'000)));
    auto* name = findElement<views::ElidedLabel>(view, QStringLiteral("home.operation.drive.name"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->shownText(), QStringLiteral("Tom <b>&amp;</b> Stick"));
    // Without a drive to name, the card names none.
    OperationProgressView unnamed(Kind::prepare, running, std::nullopt, *catalog, [] {});
    EXPECT_EQ(unnamed.findChild<QWidget*>(QStringLiteral("home.operation.drive")), nullptr);
}

TEST(OperationConfirmationView, TitlesExplanationsAndActionsOfEachKind) {
    const std::string size = ByteCountText::fileSize(16'000'000'000);
    const struct {
        Kind kind;
        const char* title;
        std::string explanation;
        const char* action;
    } rows[] = {
        {Kind::prepare, "Prepare this drive?",
         "This erases everything on Stick (" + size + ") and sets it up as a Ventoy multiboot drive.", "Prepare"},
        {Kind::reinstall, "Reinstall Ventoy?",
         "This erases everything on Stick (" + size + ") and reinstalls Ventoy with a compatible layout.", "Reinstall"},
        {Kind::update, "Update Ventoy?", "This refreshes the boot files on Stick. Your ISOs are kept.", "Update"},
        {Kind::removeVentoy, "Remove Ventoy?",
         "This erases Ventoy and everything on Stick (" + size + "), returning it to a plain drive.", "Remove"},
        {Kind::addImage, "Add an image", "", "Add"},
        {Kind::writeRawImage, "Write this image over the drive?",
         "This replaces everything on Stick (" + size + ") with the image below. The drive becomes a copy of that image.",
         "Write"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(OperationConfirmationPresentation::title(row.kind), row.title);
        EXPECT_EQ(OperationConfirmationPresentation::explanation(row.kind, "Stick", 16'000'000'000), row.explanation);
        EXPECT_EQ(OperationConfirmationPresentation::actionLabel(row.kind), row.action);
    }
}

}  // namespace
}  // namespace marlowick
