#include "Home/Views/DriveContextViews.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <cstdlib>

#include "Design/BrandStyle.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "UI/Accessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

const DriveContextStatus notSetUp{"Not set up", "externaldrive.badge.plus", BrandColor::primary};

TEST(DriveContextHeader, ReadsAsOneElementOfNameSizeAndStatus) {
    const std::int64_t capacity = 64'000'000'000;
    const std::string size = ByteCountText::fileSize(capacity);
    DriveContextHeader header("SanDisk <b>Ultra</b>", capacity, notSetUp);
    EXPECT_EQ(header.objectName(), QStringLiteral("home.driveContext"));
    EXPECT_EQ(header.accessibleName().toStdString(), "SanDisk <b>Ultra</b>, " + size + ", Not set up");
    auto* name = testing::findElement<views::ElidedLabel>(header, QStringLiteral("home.driveContext.name"));
    auto* sizeLabel = testing::findElement<QLabel>(header, QStringLiteral("home.driveContext.size"));
    ASSERT_NE(name, nullptr);
    ASSERT_NE(sizeLabel, nullptr);
    // Drawn as it is, character for character: never read as markup.
    EXPECT_EQ(name->text(), QStringLiteral("SanDisk <b>Ultra</b>"));
    EXPECT_EQ(sizeLabel->text().toStdString(), size);
    EXPECT_TRUE(ui::isHiddenFromAccessibility(*name));
    EXPECT_FALSE(ui::isHiddenFromAccessibility(header));
}

TEST(DriveContextHeader, ALongNameKeepsTheSizeAndChipVisible) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* header = new DriveContextHeader(std::string(200, 'W'), 8'000'000'000, notSetUp);
    column->addWidget(header);
    window.resize(420, 120);
    window.show();
    QApplication::processEvents();
    auto* chip = testing::findElement<StatusChip>(*header, QStringLiteral("home.driveContext.status"));
    ASSERT_NE(chip, nullptr);
    EXPECT_LE(header->width(), 420);
    EXPECT_LE(chip->geometry().right(), header->width());
    EXPECT_GE(chip->width(), chip->sizeHint().width());
    // The name is cut with an ellipsis at its end.
    auto* name = testing::findElement<views::ElidedLabel>(*header, QStringLiteral("home.driveContext.name"));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->shownText().endsWith(QChar(0x2026))) << name->shownText().toStdString();
    EXPECT_TRUE(name->shownText().startsWith(QStringLiteral("WWW")));
    testing::saveScreenshot(window, "drive-context-long-name");
}

TEST(LargeDriveCautionBanner, NamesTheSizeWithTheSameFormatterAsTheHeader) {
    const std::int64_t capacity = 2'000'398'934'016;
    LargeDriveCautionBanner banner(capacity, "home.confirm.largeDriveCaution");
    const std::string expected = "This is a large drive (" + ByteCountText::fileSize(capacity) +
                                 ") — make sure it's the USB stick you meant to erase, not an external disk.";
    EXPECT_EQ(banner.objectName(), QStringLiteral("home.confirm.largeDriveCaution"));
    EXPECT_EQ(banner.accessibleName().toStdString(), expected);
    EXPECT_EQ(LargeDriveCautionBanner::text(capacity), expected);
    // An unknown size is never written as a number.
    EXPECT_EQ(LargeDriveCautionBanner::text(-1).find("-1"), std::string::npos);
}

TEST(InfoHint, EachHintHasItsOwnIdentifierAndASharedPopover) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* clusters = new InfoHint("Cluster size", "Bigger clusters suit big files.");
    auto* label = new InfoHint("Volume label", "The name the drive shows.");
    column->addWidget(clusters);
    column->addWidget(label);
    window.show();
    EXPECT_EQ(clusters->objectName(), QStringLiteral("options.info.Cluster size"));
    EXPECT_EQ(label->objectName(), QStringLiteral("options.info.Volume label"));
    EXPECT_EQ(clusters->accessibleName(), QString::fromUtf8("Cluster size \u2014 more info"));
    EXPECT_EQ(clusters->accessibleDescription(), QStringLiteral("Bigger clusters suit big files."));
    EXPECT_EQ(clusters->toolTip(), QStringLiteral("Bigger clusters suit big files."));

    QTest::mouseClick(clusters, Qt::LeftButton);
    auto* popover = testing::findElement(*clusters, QStringLiteral("options.info.popover"));
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isVisible());
    EXPECT_EQ(popover->width(), 280);
    auto* body = testing::findElement<QLabel>(*popover, QStringLiteral("options.info.popover.body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->text(), QStringLiteral("Bigger clusters suit big files."));
    QTest::keyClick(popover, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(clusters->findChildren<QWidget*>(QStringLiteral("options.info.popover")).isEmpty() ||
                !popover->isVisible());
}

TEST(StateInfoLink, ExplainsTheStateInAPopover) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* link = new StateInfoLink(StateDetail{"About preparing this drive", "Preparing erases everything."});
    column->addWidget(link);
    window.show();
    EXPECT_EQ(link->objectName(), QStringLiteral("home.stateInfo"));
    EXPECT_EQ(link->text(), QStringLiteral("What does this mean?"));
    EXPECT_EQ(link->accessibleName(), QStringLiteral("What does this mean?"));
    EXPECT_EQ(link->accessibleDescription(), QStringLiteral("Explains this drive state and what the action will do."));
    QTest::mouseClick(link, Qt::LeftButton);
    auto* popover = testing::findElement(*link, QStringLiteral("home.stateInfo.popover"));
    ASSERT_NE(popover, nullptr);
    EXPECT_EQ(popover->width(), 300);
    auto* title = testing::findElement<QLabel>(*popover, QStringLiteral("home.stateInfo.popover.title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("About preparing this drive"));
    popover->close();
}

TEST(DriveContextViews, ShownTogetherInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        QWidget window;
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, BrandStyle::color(BrandColor::bg));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        auto* column = new QVBoxLayout(&window);
        column->setContentsMargins(24, 24, 24, 24);
        column->addWidget(new DriveContextHeader("Generic Flash Disk", 4'000'000'000'000,
                                                 {"Couldn't be read", "exclamationmark.triangle.fill",
                                                  BrandColor::warningText}));
        column->addWidget(new LargeDriveCautionBanner(4'000'000'000'000, "home.hero.largeDriveCaution"));
        column->addWidget(new StateInfoLink({"About this unreadable drive", "Its layout couldn't be read."}));
        column->addWidget(new InfoHint("Cluster size", "Bigger clusters suit big files."));
        window.resize(560, 260);
        testing::saveScreenshot(window, std::string("drive-context-views-") + appearance);
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
