#include "Home/Views/DriveImagesView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <cstdlib>
#include <fstream>

#include "Design/BrandStyle.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/HomeViewModel.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "Support/HomeModelHarness.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;

const HelperImageEntry isoEntry("/ubuntu.iso", "ubuntu.iso", 5'000'000'000, false);
const HelperImageEntry folderEntry("/tools", "tools", 0, true);
const HelperImageEntry nestedEntry("/tools/rescue <b>&amp;</b>.img", "rescue <b>&amp;</b>.img", 700'000'000, false);

// The names shown, top to bottom.
std::vector<std::string> shownNames(DriveImagesView& card) {
    std::vector<std::pair<int, std::string>> rows;
    for (auto* label : card.findChildren<views::ElidedLabel*>(QStringLiteral("home.driveImages.row.name"))) {
        rows.emplace_back(label->mapTo(&card, QPoint(0, 0)).y(), label->text().toStdString());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.second);
    return names;
}

QString summary(DriveImagesView& card) {
    auto* label = card.findChild<QLabel*>(QStringLiteral("home.driveImages.summary"));
    return label == nullptr ? QString() : label->text();
}

// The card as the home view shows it: over the model's image list, rebuilt whenever that
// list changes, hidden while it is unknown; browsing offered only while the model can.
class DriveImagesOverModel : public ::testing::Test {
protected:
    void SetUp() override {
        harness.mountedImages = std::vector<HelperImageEntry>{isoEntry, folderEntry};
        harness.runner->script([this](const HelperCommand& command, const HelperProgressHandler&,
                                      const HelperCancelCheck&) -> HelperResult {
            if (const auto* add = std::get_if<HelperCommand::AddImage>(&command.value)) {
                const HelperImageEntry added("/" + add->name, add->name, add->sizeBytes, false);
                harness.mountedImages->push_back(added);
                return {HelperResult::AddImage{
                    HelperAddImageOutcome{HelperAddImageOutcome::Success{added, 1'000'000, 16'000'000'000}}}};
            }
            return testing::detectedVentoy(testing::ventoyLayout());
        });
        model = harness.make(HelperDiskRef(testing::usbStick("sdb")), HomeDriveState::NoDrive{}, true);
        window.resize(460, 320);
        column = new QVBoxLayout(&window);
        model->observers().subscribe([this](HomeViewModel::Property property) {
            if (property == HomeViewModel::Property::driveImages || property == HomeViewModel::Property::state) rebuild();
        });
        model->detect();
        harness.settle();
        window.show();
        QApplication::processEvents();
    }

    void rebuild() {
        delete card;
        card = nullptr;
        if (!model->driveImages()) return;
        DriveImagesView::Action browse;
        if (model->canBrowseDrive()) browse = [this] { model->openDriveBrowser(); };
        card = new DriveImagesView(*model->driveImages(), [this] { model->refreshDriveImages(); }, browse);
        column->addWidget(card);
    }

    testing::HomeModelHarness harness;
    std::shared_ptr<HomeViewModel> model;
    QWidget window;
    QVBoxLayout* column = nullptr;
    QPointer<DriveImagesView> card;
};

TEST_F(DriveImagesOverModel, ListsTheDrivesImagesAndAddsOne) {
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(shownNames(*card), (std::vector<std::string>{"ubuntu.iso", "tools"}));
    EXPECT_EQ(summary(*card).toStdString(), "2 \xC2\xB7 " + ByteCountText::fileSize(5'000'000'000));
    EXPECT_EQ(card->accessibleName().toStdString(), HomeAccessibility::driveImagesLabel(2));

    // Add an image as a user does: the primary action picks a file and copies it.
    const std::filesystem::path picked = harness.folder.path() / "debian.iso";
    std::ofstream(picked, std::ios::binary) << std::string(4096, 'x');
    harness.imageToPick = picked;
    model->primaryAction();
    harness.settle();
    ASSERT_TRUE(model->state().is<HomeDriveState::Done>());
    model->primaryAction();  // back to the drive: detected and listed again
    harness.settle();
    QApplication::processEvents();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(shownNames(*card), (std::vector<std::string>{"ubuntu.iso", "tools", "debian.iso"}));
    EXPECT_EQ(summary(*card).toStdString(), "3 \xC2\xB7 " + ByteCountText::fileSize(5'000'004'096));
    testing::saveScreenshot(window, "images-after-add");
}

TEST_F(DriveImagesOverModel, RefreshReadsTheDriveAgainAndBrowseOpensTheBrowser) {
    ASSERT_NE(card, nullptr);
    harness.mountedImages = std::vector<HelperImageEntry>{nestedEntry};
    const int listingsBefore = harness.mountedListings;
    auto* refresh = findElement<QPushButton>(*card, QStringLiteral("home.driveImages.refresh"));
    ASSERT_NE(refresh, nullptr);
    EXPECT_EQ(refresh->accessibleName(), QStringLiteral("Refresh images"));
    EXPECT_EQ(refresh->toolTip(), QStringLiteral("Refresh images"));
    EXPECT_EQ(refresh->accessibleDescription().toStdString(), HomeAccessibility::driveImagesRefreshHint);
    QTest::mouseClick(refresh, Qt::LeftButton);
    harness.settle();
    EXPECT_EQ(harness.mountedListings, listingsBefore + 1);
    ASSERT_NE(card, nullptr);
    // Markup in a file name is shown as it is.
    EXPECT_EQ(shownNames(*card), (std::vector<std::string>{"tools/rescue <b>&amp;</b>.img"}));
    EXPECT_EQ(card->accessibleName().toStdString(), HomeAccessibility::driveImagesLabel(1));

    auto* browse = findElement<QPushButton>(*card, QStringLiteral("home.driveImages.browse"));
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(browse->text(), QStringLiteral("Browse"));
    EXPECT_EQ(browse->toolTip(), QStringLiteral("Opens every folder on the drive, where you can delete images."));
    browse->setFocus(Qt::TabFocusReason);
    QTest::keyClick(browse, Qt::Key_Space);
    EXPECT_NE(model->browser(), nullptr);
}

TEST(DriveImagesView, DerivedTexts) {
    struct NameCase {
        HelperImageEntry entry;
        std::string shown;
    };
    const NameCase names[] = {
        {HelperImageEntry("/ubuntu.iso", "ubuntu.iso", 1, false), "ubuntu.iso"},
        {HelperImageEntry("/", "root-name", 1, false), "root-name"},
        {HelperImageEntry("", "empty-path", 1, false), "empty-path"},
        {HelperImageEntry("//twice.iso", "twice.iso", 1, false), "/twice.iso"},
        {HelperImageEntry("isos/a.iso", "a.iso", 1, false), "isos/a.iso"},
    };
    for (const NameCase& c : names) EXPECT_EQ(DriveImagesView::shownName(c.entry), c.shown) << c.entry.path;

    EXPECT_EQ(DriveImagesView::totalSizeText({}), ByteCountText::fileSize(0));
    EXPECT_EQ(DriveImagesView::totalSizeText({isoEntry, folderEntry, nestedEntry}),
              ByteCountText::fileSize(5'700'000'000));
    // A sum that would pass 64 bits stays the largest count instead of turning negative.
    const HelperImageEntry huge("/a", "a", INT64_MAX, false);
    EXPECT_EQ(DriveImagesView::totalSizeText({huge, huge}), ByteCountText::fileSize(INT64_MAX));
}

TEST(DriveImagesView, HeaderFollowsTheActionsGivenAndTheListsSize) {
    struct Case {
        const char* name;
        std::vector<HelperImageEntry> images;
        bool refresh;
        bool browse;
    };
    const Case cases[] = {
        {"emptyWithBoth", {}, true, true},
        {"oneWithRefreshOnly", {isoEntry}, true, false},
        {"twoWithNeither", {isoEntry, folderEntry}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int refreshed = 0;
        int browsed = 0;
        DriveImagesView card(c.images, c.refresh ? DriveImagesView::Action([&] { ++refreshed; }) : nullptr,
                             c.browse ? DriveImagesView::Action([&] { ++browsed; }) : nullptr);
        auto* refresh = card.findChild<QPushButton*>(QStringLiteral("home.driveImages.refresh"));
        auto* browse = card.findChild<QPushButton*>(QStringLiteral("home.driveImages.browse"));
        EXPECT_EQ(refresh != nullptr, c.refresh);
        EXPECT_EQ(browse != nullptr, c.browse);
        if (refresh != nullptr) QTest::mouseClick(refresh, Qt::LeftButton);
        if (browse != nullptr) QTest::mouseClick(browse, Qt::LeftButton);
        EXPECT_EQ(refreshed, c.refresh ? 1 : 0);
        EXPECT_EQ(browsed, c.browse ? 1 : 0);
        EXPECT_EQ(card.accessibleName().toStdString(),
                  HomeAccessibility::driveImagesLabel(static_cast<long long>(c.images.size())));
        const auto dividers = card.findChildren<QFrame*>(QStringLiteral("home.driveImages.divider"));
        const auto empty = card.findChild<QLabel*>(QStringLiteral("home.driveImages.empty"));
        if (c.images.empty()) {
            EXPECT_TRUE(summary(card).isEmpty());
            ASSERT_NE(empty, nullptr);
            EXPECT_EQ(empty->text(), QString::fromUtf8("No images yet \u2014 add one to boot from it."));
            EXPECT_EQ(card.findChild<QScrollArea*>(QStringLiteral("home.driveImages.list")), nullptr);
        } else {
            EXPECT_EQ(empty, nullptr);
            EXPECT_EQ(summary(card).toStdString(),
                      std::to_string(c.images.size()) + " \xC2\xB7 " + DriveImagesView::totalSizeText(c.images));
            // A divider stands between rows, none above the first.
            EXPECT_EQ(static_cast<std::size_t>(dividers.size()), c.images.size() - 1);
        }
    }
}

TEST(DriveImagesView, ManyRowsScrollInsideTheCardAndLongNamesAreCutInTheMiddle) {
    std::vector<HelperImageEntry> images;
    for (int index = 0; index < 20; ++index) {
        images.emplace_back("/image-" + std::to_string(index) + ".iso", "x", 1'000'000 * (index + 1), false);
    }
    const std::string longName = "a-very-long-distribution-name-with-a-release-and-an-architecture-amd64.iso";
    images.emplace_back("/" + longName, longName, 1, false);
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* card = new DriveImagesView(images, [] {}, [] {});
    column->addWidget(card);
    window.resize(380, 400);
    window.show();
    QApplication::processEvents();
    auto* list = findElement<QScrollArea>(*card, QStringLiteral("home.driveImages.list"));
    ASSERT_NE(list, nullptr);
    EXPECT_LE(list->height(), DriveImagesView::listMaximumHeight);
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
    views::ElidedLabel* longLabel = nullptr;
    for (auto* label : card->findChildren<views::ElidedLabel*>()) {
        if (label->text().toStdString() == longName) longLabel = label;
    }
    ASSERT_NE(longLabel, nullptr);
    const QString shown = longLabel->shownText();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("a-very"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".iso"))) << shown.toStdString();
    testing::saveScreenshot(window, "images-many");
}

TEST(DriveImagesView, ScreenshotsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        for (const bool empty : {false, true}) {
            QWidget window;
            auto* column = testing::brandColumn(window, BrandColor::surface);
            std::vector<HelperImageEntry> images;
            if (!empty) images = {isoEntry, folderEntry, nestedEntry};
            column->addWidget(new DriveImagesView(images, [] {}, [] {}));
            window.resize(460, empty ? 120 : 240);
            testing::saveScreenshot(window, std::string("images-") + (empty ? "empty-" : "") + appearance);
        }
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
