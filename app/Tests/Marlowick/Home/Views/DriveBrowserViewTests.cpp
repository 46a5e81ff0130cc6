// The drive browser window over its model and an in-memory drive, driven as a user would:
// rows clicked and double-clicked, crumbs followed, the Delete key and the context menu, the
// alert answered, the notice dismissed, Done pressed with Return, the window closed while a
// delete runs. Screenshots in both appearances land in the build tree.
#include "Home/Views/DriveBrowserView.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>

#include "Home/HomeViewModel.hpp"
#include "Home/Views/ViewElements.hpp"
#include "StandIns/MemoryDriveFileAccess.hpp"
#include "Support/HomeModelHarness.hpp"
#include "Support/ManualBackground.hpp"
#include "Support/ManualExecutor.hpp"
#include "UI/DestructiveQuestion.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;

VolumePath at(const std::string& text) { return *VolumePath::parse(text); }

QTreeWidgetItem* row(QTreeWidget& list, const QString& name) {
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i)->text(0) == name) return list.topLevelItem(i);
    }
    ADD_FAILURE() << "no row " << name.toStdString();
    return nullptr;
}

QStringList rowNames(QTreeWidget& list) {
    QStringList names;
    for (int i = 0; i < list.topLevelItemCount(); ++i) names << list.topLevelItem(i)->text(0);
    return names;
}

void click(QTreeWidget& list, const QString& name, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTreeWidgetItem* item = row(list, name);
    if (item != nullptr) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, list.visualItemRect(item).center());
    }
}

void doubleClick(QTreeWidget& list, const QString& name) {
    QTreeWidgetItem* item = row(list, name);
    if (item == nullptr) return;
    const QPoint centre = list.visualItemRect(item).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

ui::DestructiveQuestion* openAlert(QWidget& window) {
    return window.findChild<ui::DestructiveQuestion*>(QStringLiteral("browser.deleteAlert"));
}

class DriveBrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        files->addFile("/a.iso", 1'000'000, 20'000);
        files->addFile("/B.IMG", 2'000'000, 20'100);
        files->addFile("/notes.md", 1'500, 20'200);
        files->addFolder("/tools");
        files->addFile("/tools/x.efi", 10);
        files->addFolder("/tools/deep");
    }
    void TearDown() override { testing::useAppearance(nullptr); }

    void open(const char* appearance = "light") {
        testing::useAppearance(appearance);
        model = DriveBrowserModel::create(files, HelperDiskRef(testing::usbStick("sdb")), testing::ventoyLayout(),
                                          "Stick", main.executor(), background.starter());
        view = std::make_unique<DriveBrowserView>(model);
        model->reload();
        view->show();
        settle();
        list = findElement<QTreeWidget>(*view, QStringLiteral("browser.list"));
        ASSERT_NE(list, nullptr);
    }
    void settle() {
        while (background.runAll() + main.runAll() > 0) {
        }
        QApplication::processEvents();
    }
    [[nodiscard]] QWidget* page() const {
        return view->findChild<QStackedWidget*>()->currentWidget();
    }

    testing::ManualExecutor main;
    testing::ManualBackground background;
    std::shared_ptr<testing::MemoryDriveFileAccess> files = std::make_shared<testing::MemoryDriveFileAccess>();
    std::shared_ptr<DriveBrowserModel> model;
    std::unique_ptr<DriveBrowserView> view;
    QTreeWidget* list = nullptr;
};

TEST_F(DriveBrowserViewTest, WalksIntoAFolderAndBackByTheCrumbs) {
    open();
    EXPECT_EQ(view->objectName(), QStringLiteral("browser"));
    EXPECT_EQ(rowNames(*list), (QStringList{"a.iso", "B.IMG", "notes.md", "tools"}));
    EXPECT_FALSE(findElement<QToolButton>(*view, QStringLiteral("browser.up"))->isEnabled());
    auto* crumbs = findElement(*view, QStringLiteral("browser.breadcrumbs"));
    ASSERT_NE(crumbs, nullptr);
    auto* driveCrumb = findElement<views::ElidedLabel>(*crumbs, QStringLiteral("browser.breadcrumbs.0"));
    ASSERT_NE(driveCrumb, nullptr);
    EXPECT_EQ(driveCrumb->text(), QStringLiteral("Stick"));

    // The row reads as its name and size, a folder as a folder, with "—" for its size.
    EXPECT_EQ(row(*list, "a.iso")->data(0, Qt::AccessibleTextRole).toString(), QStringLiteral("a.iso, 1 MB"));
    EXPECT_EQ(row(*list, "tools")->data(0, Qt::AccessibleTextRole).toString(), QStringLiteral("tools, folder"));
    EXPECT_EQ(row(*list, "tools")->text(2), QStringLiteral("—"));

    doubleClick(*list, "a.iso");
    settle();
    EXPECT_EQ(model->directory(), VolumePath::root) << "a file opened like a folder";

    doubleClick(*list, "tools");
    EXPECT_TRUE(findElement(*view, QStringLiteral("browser.loading"))->isVisible())
        << "no spinner while the folder is read";
    settle();
    EXPECT_EQ(model->directory(), at("/tools"));
    EXPECT_EQ(rowNames(*list), (QStringList{"deep", "x.efi"}));
    EXPECT_TRUE(findElement<QToolButton>(*view, QStringLiteral("browser.up"))->isEnabled());
    doubleClick(*list, "deep");
    settle();
    EXPECT_EQ(findElement(*view, QStringLiteral("browser.empty")), page());

    auto* toTools = findElement<QPushButton>(*view, QStringLiteral("browser.breadcrumbs.1"));
    ASSERT_NE(toTools, nullptr);
    EXPECT_EQ(toTools->text(), QStringLiteral("tools"));
    toTools->click();
    settle();
    EXPECT_EQ(model->directory(), at("/tools"));
    findElement<QToolButton>(*view, QStringLiteral("browser.up"))->click();
    settle();
    EXPECT_EQ(model->directory(), VolumePath::root);
    EXPECT_EQ(rowNames(*list), (QStringList{"a.iso", "B.IMG", "notes.md", "tools"}));
}

TEST_F(DriveBrowserViewTest, DeletesTheSelectedFilesAfterTheAlert) {
    open();
    auto* remove = findElement<QPushButton>(*view, QStringLiteral("browser.delete"));
    auto* summary = findElement<QLabel>(*view, QStringLiteral("browser.summary"));
    ASSERT_TRUE(remove && summary);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(summary->text(), QString());
    EXPECT_EQ(remove->toolTip(), QStringLiteral("Delete the selected files from the drive"));

    click(*list, "tools");
    click(*list, "a.iso", Qt::ControlModifier);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(remove->toolTip(), QString::fromStdString(std::string(DriveBrowserModel::foldersNotDeletable)));

    click(*list, "a.iso");
    click(*list, "B.IMG", Qt::ControlModifier);
    EXPECT_EQ(model->selection(), (DriveBrowserModel::Selection{at("/a.iso"), at("/B.IMG")}));
    EXPECT_EQ(summary->text(), QStringLiteral("2 selected · 3 MB"));
    ASSERT_TRUE(remove->isEnabled());

    // The Delete key asks; Cancel leaves everything as it was.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    ui::DestructiveQuestion* alert = openAlert(*view);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), QStringLiteral("Delete 2 files?"));
    EXPECT_EQ(alert->message(),
              QStringLiteral("They will be removed from the drive, freeing 3 MB. This can't be undone."));
    EXPECT_EQ(alert->defaultButton()->objectName(), QStringLiteral("browser.deleteAlert.cancel"));
    alert->findChild<QPushButton*>(QStringLiteral("browser.deleteAlert.cancel"))->click();
    QApplication::processEvents();
    EXPECT_FALSE(model->pendingDelete());
    EXPECT_EQ(background.pending(), 0U);

    remove->click();
    alert = openAlert(*view);
    ASSERT_NE(alert, nullptr);
    alert->findChild<QPushButton*>(QStringLiteral("browser.deleteAlert.delete"))->click();
    QApplication::processEvents();
    EXPECT_TRUE(model->isDeleting());
    EXPECT_TRUE(findElement<QProgressBar>(*view, QStringLiteral("browser.deleting"))->isVisible());
    EXPECT_FALSE(remove->isEnabled());
    testing::saveScreenshot(*view, "drive-browser-deleting");

    settle();
    EXPECT_FALSE(findElement<QProgressBar>(*view, QStringLiteral("browser.deleting"))->isVisible());
    EXPECT_EQ(rowNames(*list), (QStringList{"notes.md", "tools"}));
    EXPECT_FALSE(findElement(*view, QStringLiteral("browser.notice"))->isVisible()) << "a full success tells nothing";
    EXPECT_EQ(summary->text(), QString());
}

TEST_F(DriveBrowserViewTest, TheContextMenuOffersDeleteForFilesOnly) {
    open();
    click(*list, "tools");
    click(*list, "notes.md", Qt::ControlModifier);
    emit list->customContextMenuRequested(list->visualItemRect(row(*list, "notes.md")).center());
    auto* menu = findElement<QMenu>(*view, QStringLiteral("browser.list.contextMenu"));
    ASSERT_NE(menu, nullptr);
    QAction* remove = menu->findChild<QAction*>(QStringLiteral("browser.list.contextMenu.delete"));
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->text(), QStringLiteral("Delete…"));
    EXPECT_FALSE(remove->isEnabled());
    menu->close();
    QApplication::processEvents();

    // A click on a row outside the selection acts on that row alone.
    emit list->customContextMenuRequested(list->visualItemRect(row(*list, "a.iso")).center());
    menu = findElement<QMenu>(*view, QStringLiteral("browser.list.contextMenu"));
    ASSERT_NE(menu, nullptr);
    remove = menu->findChild<QAction*>(QStringLiteral("browser.list.contextMenu.delete"));
    ASSERT_TRUE(remove->isEnabled());
    remove->trigger();
    menu->close();
    QApplication::processEvents();
    EXPECT_EQ(model->selection(), DriveBrowserModel::Selection{at("/a.iso")});
    ui::DestructiveQuestion* alert = openAlert(*view);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), QStringLiteral("Delete “a.iso”?"));
    EXPECT_EQ(alert->message(),
              QStringLiteral("It will be removed from the drive, freeing 1 MB. This can't be undone."));
}

TEST_F(DriveBrowserViewTest, TheNoticeNamesWhatStayedUntilDismissed) {
    open();
    click(*list, "a.iso");
    click(*list, "notes.md", Qt::ControlModifier);
    findElement<QPushButton>(*view, QStringLiteral("browser.delete"))->click();
    (void)files->remove({at("/notes.md")}, {}, {}, [] { return false; });  // gone meanwhile
    openAlert(*view)->findChild<QPushButton*>(QStringLiteral("browser.deleteAlert.delete"))->click();
    settle();
    auto* notice = findElement(*view, QStringLiteral("browser.notice"));
    ASSERT_TRUE(notice->isVisible());
    EXPECT_EQ(findElement<QLabel>(*notice, QStringLiteral("browser.notice.text"))->text(),
              QStringLiteral("1 file was deleted.\n“notes.md” wasn't deleted: it's no longer on the drive."));
    testing::saveScreenshot(*view, "drive-browser-notice");
    findElement<QToolButton>(*notice, QStringLiteral("browser.notice.dismiss"))->click();
    EXPECT_FALSE(notice->isVisible());
}

TEST_F(DriveBrowserViewTest, AnUnavailableFolderOffersTryAgain) {
    files->refuseWith(MountedVolumeRefusal{MountedVolumeRefusal::ReadOnly{"sdb1"}});
    testing::useAppearance("light");
    model = DriveBrowserModel::create(files, HelperDiskRef(testing::usbStick("sdb")), testing::ventoyLayout(), "Stick",
                                      main.executor(), background.starter());
    view = std::make_unique<DriveBrowserView>(model);
    model->reload();
    view->show();
    settle();
    auto* unavailable = findElement(*view, QStringLiteral("browser.unavailable"));
    ASSERT_EQ(page(), unavailable);
    EXPECT_EQ(findElement<QLabel>(*unavailable, QStringLiteral("browser.unavailable.message"))->text(),
              QStringLiteral("Linux has this drive read-only, so nothing on it can be changed."));
    testing::saveScreenshot(*view, "drive-browser-unavailable");

    files->refuseWith(std::nullopt);
    findElement<QPushButton>(*unavailable, QStringLiteral("browser.unavailable.retry"))->click();
    settle();
    EXPECT_TRUE(findElement(*view, QStringLiteral("browser.list"))->isVisible());
}

TEST_F(DriveBrowserViewTest, ReturnPressesDone) {
    open();
    QSignalSpy finished(view.get(), &QDialog::finished);
    click(*list, "a.iso");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(model->directory(), VolumePath::root);
}

TEST_F(DriveBrowserViewTest, ScreenshotsInBothAppearances) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        open(appearance);
        click(*list, "a.iso");
        click(*list, "B.IMG", Qt::ControlModifier);
        testing::saveScreenshot(*view, std::string("drive-browser-") + appearance);
        view.reset();
    }
}

// The home screen closes the browser (its window finished, then dropped) while a delete of
// two files runs: nothing is drawn into the gone window, and the home screen lists the
// drive's images again once the delete has ended.
TEST(DriveBrowserViewClosing, WhileADeleteRunsTheHomeScreenStillLearnsTheDriveChanged) {
    testing::HomeModelHarness harness;
    harness.runner->answer(testing::detectedVentoy(testing::ventoyLayout()));
    harness.mountedImages = std::vector<HelperImageEntry>{};
    harness.files->addFile("/a.iso", 10);
    harness.files->addFile("/b.iso", 10);
    const auto home = harness.make(HelperDiskRef(testing::usbStick("sdb")), HomeDriveState::NoDrive{}, true);
    home->detect();
    harness.settle();
    home->openDriveBrowser();
    harness.settle();
    ASSERT_NE(home->browser(), nullptr);
    auto* view = new DriveBrowserView(home->browser());
    QObject::connect(view, &QDialog::finished, view, [home, view] {
        home->closeDriveBrowser();
        view->deleteLater();
    });
    view->show();
    QApplication::processEvents();
    auto* list = findElement<QTreeWidget>(*view, QStringLiteral("browser.list"));
    ASSERT_NE(list, nullptr);
    click(*list, "a.iso");
    click(*list, "b.iso", Qt::ControlModifier);
    findElement<QPushButton>(*view, QStringLiteral("browser.delete"))->click();
    openAlert(*view)->findChild<QPushButton*>(QStringLiteral("browser.deleteAlert.delete"))->click();
    QApplication::processEvents();
    const int listingsBefore = harness.mountedListings;

    // The user presses Done between the delete's two paths.
    QPointer<DriveBrowserView> watched(view);
    auto* done = findElement<QPushButton>(*view, QStringLiteral("browser.done"));
    harness.files->afterEachDeletion([done](const VolumePath& path) {
        if (path == at("/a.iso")) done->click();
    });
    harness.background.runOne();
    EXPECT_EQ(home->browser(), nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(harness.mountedListings, listingsBefore) << "nothing was known to have changed at the closing";

    harness.settle();
    EXPECT_FALSE(harness.files->contains("/a.iso"));
    EXPECT_TRUE(harness.files->contains("/b.iso")) << "the delete went on past the closing";
    EXPECT_EQ(harness.mountedListings, listingsBefore + 1) << "the drive's images were not listed again";
}

}  // namespace
}  // namespace marlowick
