#include "Home/Views/DrivePickerView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>

#include "Home/HomeViewModel.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "Support/HomeModelHarness.hpp"
#include "UI/Accessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;
using testing::usbStick;

const std::string largeWarning =
    "Unusually large for a flash drive. Check this is the right one \xE2\x80\x94 preparing it erases everything.";
const std::string enclosureWarning =
    "Looks like a portable SSD or hard drive, not a flash drive. Check this is the right one \xE2\x80\x94 preparing it "
    "erases everything.";

QStringList rowIdentifiers(DrivePickerView& picker) {
    QStringList identifiers;
    auto* list = picker.findChild<QScrollArea*>(QStringLiteral("home.picker.list"));
    if (list == nullptr) return identifiers;
    // In the order the rows stand on screen.
    auto rows = list->widget()->findChildren<views::RowButton*>();
    std::sort(rows.begin(), rows.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    for (QWidget* row : rows) identifiers << row->objectName();
    return identifiers;
}

// The picker as the home view presents it: over the model's eligible disks, each action
// calling the model, the list following each rescan.
class DrivePickerOverModel : public ::testing::Test {
protected:
    void SetUp() override {
        harness.runner->answer(testing::detectedNotVentoy());
        harness.disks = {usbStick("sdc", "S3", "Beta"), usbStick("sdb", "S2", "Alpha")};
        model = harness.make();
        model->refreshDisks();
        harness.settle();
        window.resize(640, 520);
        picker = std::make_unique<DrivePickerView>(
            window, model->availableDisks(), [this](const DiscoveredDisk& disk) { model->selectDisk(disk); },
            [this] { model->refreshDisks(); }, [this] { model->setIsPickingDisk(false); });
        model->observers().subscribe([this](HomeViewModel::Property property) {
            if (property == HomeViewModel::Property::availableDisks) picker->setDisks(model->availableDisks());
        });
        window.show();
        picker->show();
        QApplication::processEvents();
    }

    testing::HomeModelHarness harness;
    std::shared_ptr<HomeViewModel> model;
    QWidget window;
    std::unique_ptr<DrivePickerView> picker;
};

TEST_F(DrivePickerOverModel, SeveralDrivesOpenThePickerAndAPickSelectsAndDetects) {
    ASSERT_TRUE(model->isPickingDisk());
    EXPECT_EQ(picker->objectName(), QStringLiteral("home.picker.sheet"));
    EXPECT_EQ(rowIdentifiers(*picker), (QStringList{"home.picker.row.sdb", "home.picker.row.sdc"}));

    auto* beta = findElement<views::RowButton>(*picker, QStringLiteral("home.picker.row.sdc"));
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->accessibleDescription(), QStringLiteral("Selects this drive as the target."));
    // A click anywhere on the row picks it, also over its texts.
    auto* name = beta->findChild<QLabel*>(QStringLiteral("home.picker.row.name"));
    ASSERT_NE(name, nullptr);
    QTest::mouseClick(beta, Qt::LeftButton, {}, name->geometry().center());
    harness.settle();

    ASSERT_TRUE(model->disk().has_value());
    EXPECT_EQ(model->disk()->rawDevicePath, "/dev/sdc");
    EXPECT_FALSE(model->isPickingDisk());
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Prepare{"no Ventoy layout"}));
    testing::saveScreenshot(*picker, "picker-two-drives");
}

TEST_F(DrivePickerOverModel, RescanShowsTheNewListOrTheEmptyState) {
    harness.disks.push_back(usbStick("sdd", "S4", "Gamma"));
    QTest::mouseClick(findElement<QPushButton>(*picker, QStringLiteral("home.picker.rescan")), Qt::LeftButton);
    harness.settle();
    QApplication::processEvents();
    EXPECT_EQ(rowIdentifiers(*picker),
              (QStringList{"home.picker.row.sdb", "home.picker.row.sdc", "home.picker.row.sdd"}));

    harness.disks.clear();
    QTest::mouseClick(findElement<QPushButton>(*picker, QStringLiteral("home.picker.rescan")), Qt::LeftButton);
    harness.settle();
    QApplication::processEvents();
    EXPECT_TRUE(picker->findChildren<QScrollArea*>(QStringLiteral("home.picker.list")).isEmpty() ||
                !picker->findChild<QScrollArea*>(QStringLiteral("home.picker.list"))->isVisible());
    auto* empty = findElement(*picker, QStringLiteral("home.picker.empty"));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isVisible());
    const auto texts = empty->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](QLabel* label) {
        return label->text() == QStringLiteral("No removable drives found. Plug one in, then rescan.");
    }));
    // The sheet fits its new content: nothing of the empty state or the header is cut.
    EXPECT_GE(picker->height(), picker->layout()->totalHeightForWidth(picker->width()));
    EXPECT_GE(empty->height(), empty->heightForWidth(empty->width()));
    EXPECT_TRUE(findElement<QPushButton>(*picker, QStringLiteral("home.picker.rescan"))->isVisible());
    EXPECT_TRUE(findElement<QPushButton>(*picker, QStringLiteral("home.picker.cancel"))->isVisible());
    testing::saveScreenshot(*picker, "picker-empty");
}

TEST_F(DrivePickerOverModel, EscapeAndCancelCloseItAndClearTheFlag) {
    for (const bool useEscape : {true, false}) {
        SCOPED_TRACE(useEscape ? "Escape" : "Cancel");
        model->presentDiskPicker();
        picker->show();
        ASSERT_TRUE(model->isPickingDisk());
        if (useEscape) {
            QTest::keyClick(picker.get(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(findElement<QPushButton>(*picker, QStringLiteral("home.picker.cancel")), Qt::LeftButton);
        }
        EXPECT_FALSE(model->isPickingDisk());
        EXPECT_FALSE(picker->isVisible());
        EXPECT_FALSE(model->disk().has_value());
    }
}

TEST_F(DrivePickerOverModel, TheKeyboardReachesEveryRowThenRescanAndCancel) {
    auto* first = findElement<views::RowButton>(*picker, QStringLiteral("home.picker.row.sdb"));
    ASSERT_NE(first, nullptr);
    first->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 3; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, (QStringList{"home.picker.row.sdb", "home.picker.row.sdc", "home.picker.rescan",
                                    "home.picker.cancel"}));
    // Space on a focused row picks it, as a click does.
    auto* second = findElement<views::RowButton>(*picker, QStringLiteral("home.picker.row.sdc"));
    second->setFocus(Qt::TabFocusReason);
    QTest::keyClick(second, Qt::Key_Space);
    harness.settle();
    ASSERT_TRUE(model->disk().has_value());
    EXPECT_EQ(model->disk()->rawDevicePath, "/dev/sdc");
}

struct RowCase {
    const char* name;
    DiscoveredDisk disk;
    std::string detail;  // after the size
    std::optional<std::string> warning;
};

DiscoveredDisk withChanges(DiscoveredDisk disk, std::int64_t capacity, std::optional<std::string> transport,
                           bool removable, std::string name = "Stick") {
    disk.geometry.capacityBytes = capacity;
    disk.deviceProtocol = std::move(transport);
    disk.isRemovable = removable;
    disk.name = std::move(name);
    return disk;
}

TEST(DrivePickerView, RowsSayNameSizeTransportAndWarning) {
    const RowCase cases[] = {
        {"plainStick", usbStick("sdb"), "USB \xC2\xB7 sdb", std::nullopt},
        {"noTransport", withChanges(usbStick("sdb"), 16'000'000'000, std::nullopt, true), "Disk \xC2\xB7 sdb",
         std::nullopt},
        {"usbNotRemovableSmall", withChanges(usbStick("sdc"), 8'000'000'000, "USB", false), "USB \xC2\xB7 sdc",
         enclosureWarning},
        {"justBelowLarge", withChanges(usbStick("sdd"), 199'999'999'999, "USB", true), "USB \xC2\xB7 sdd",
         std::nullopt},
        {"large", withChanges(usbStick("sde"), 200'000'000'000, "USB", true), "USB \xC2\xB7 sde", largeWarning},
        {"largeNotUsb", withChanges(usbStick("sdf"), 500'000'000'000, "SATA", true), "SATA \xC2\xB7 sdf",
         largeWarning},
    };
    QWidget window;
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string size = ByteCountText::fileSize(c.disk.geometry.capacityBytes);
        EXPECT_EQ(DrivePickerView::detailText(c.disk), size + " \xC2\xB7 " + c.detail);
        EXPECT_EQ(DrivePickerView::cautionText(c.disk), c.warning);
        std::string label = c.disk.name + ", " + size + ", " + c.disk.deviceProtocol.value_or("Disk") + ", " +
                            c.disk.bsdName;
        if (c.warning) label += ". Warning: " + *c.warning;
        EXPECT_EQ(DrivePickerView::accessibilityLabel(c.disk), label);
        if (c.warning) {
            EXPECT_EQ(label.back(), '.');
        }

        DrivePickerView picker(window, {c.disk}, {}, {}, {});
        auto* row = findElement<views::RowButton>(picker, QString::fromStdString("home.picker.row." + c.disk.bsdName));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->accessibleName().toStdString(), label);
        auto* caution = row->findChild<QLabel*>(QStringLiteral("home.picker.row.caution"));
        EXPECT_EQ(caution != nullptr, c.warning.has_value());
        if (caution != nullptr) {
            EXPECT_EQ(caution->text().toStdString(), *c.warning);
        }
        // The texts inside are read through the row's label, not one by one.
        for (QLabel* text : row->findChildren<QLabel*>()) EXPECT_TRUE(ui::isHiddenFromAccessibility(*text));
    }
}

TEST(DrivePickerView, NamesShowLiterallyAndTwinsAreToldApartByKernelName) {
    QWidget window;
    const std::string markup = "Kingston <b>Fast</b> &amp; Co";
    DrivePickerView picker(window, {usbStick("sdb", "A", markup), usbStick("sdc", "B", markup)}, {}, {}, {});
    for (const char* kernelName : {"sdb", "sdc"}) {
        auto* row = findElement<views::RowButton>(picker, QStringLiteral("home.picker.row.") + kernelName);
        ASSERT_NE(row, nullptr);
        auto* name = row->findChild<QLabel*>(QStringLiteral("home.picker.row.name"));
        auto* detail = row->findChild<QLabel*>(QStringLiteral("home.picker.row.detail"));
        ASSERT_NE(name, nullptr);
        ASSERT_NE(detail, nullptr);
        EXPECT_EQ(name->text().toStdString(), markup);
        EXPECT_EQ(name->textFormat(), Qt::PlainText);
        EXPECT_TRUE(detail->text().endsWith(QStringLiteral(" \u00B7 ") + kernelName));
    }
}

TEST(DrivePickerView, ManyDrivesScrollWithinTheListHeight) {
    QWidget window;
    window.resize(800, 900);
    window.show();
    std::vector<DiscoveredDisk> disks;
    for (int index = 0; index < 12; ++index) {
        DiscoveredDisk disk = usbStick("sd" + std::string(1, static_cast<char>('b' + index)), "S" + std::to_string(index),
                                       "Stick " + std::to_string(index));
        if (index % 3 == 0) disk.geometry.capacityBytes = 256'000'000'000;
        disks.push_back(disk);
    }
    DrivePickerView picker(window, disks, {}, {}, {});
    picker.show();
    QApplication::processEvents();
    auto* list = findElement<QScrollArea>(picker, QStringLiteral("home.picker.list"));
    ASSERT_NE(list, nullptr);
    EXPECT_LE(list->height(), DrivePickerView::listMaximumHeight);
    EXPECT_GE(list->height(), DrivePickerView::listMaximumHeight - 2);
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(picker.width(), DrivePickerView::sheetWidth);
    // Tabbing to the last row scrolls it into view.
    auto rows = list->widget()->findChildren<views::RowButton*>();
    std::sort(rows.begin(), rows.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    rows.front()->setFocus(Qt::TabFocusReason);
    for (qsizetype step = 1; step < rows.size(); ++step) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), rows.back());
    EXPECT_GT(list->verticalScrollBar()->value(), 0);
    testing::saveScreenshot(picker, "picker-many-drives");
}

TEST(DrivePickerView, ScreenshotsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        QWidget window;
        DiscoveredDisk big = usbStick("sdd", "S9", "Portable SSD");
        big.isRemovable = false;
        big.geometry.capacityBytes = 1'000'204'886'016;
        DrivePickerView picker(window, {usbStick("sdb", "S1", "SanDisk Ultra"), usbStick("sdc", "S2", "Kingston"), big},
                               {}, {}, {});
        testing::saveScreenshot(picker, std::string("picker-") + appearance);
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
