#include "MainWindow.hpp"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <cstdlib>

#include "AppSettings.hpp"
#include "Design/BrandStyle.hpp"

#include "UI/Accessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

TEST(MainWindow, ShowsTheBrandHeaderAsDecorationAndTakesNewContent) {
    MainWindow window;
    window.resize(800, 600);
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Marlowick"));

    QWidget* header = testing::findElement(window, QStringLiteral("home.brandHeader"));
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(ui::isHiddenFromAccessibility(*header));

    auto* content = new QLabel(QStringLiteral("content"));
    content->setObjectName(QStringLiteral("test.content"));
    window.setContent(content);
    EXPECT_EQ(window.content(), content);
    EXPECT_EQ(window.centralWidget(), content);
    EXPECT_NE(testing::findElement<QLabel>(window, QStringLiteral("test.content")), nullptr);

    const std::string path = testing::saveScreenshot(window, "main-window");
    const QImage saved(QString::fromStdString(path));
    EXPECT_EQ(saved.width(), window.grab().width());
}

TEST(MainWindow, FollowsTheAppearanceInLightAndDark) {
    for (const auto& [appearance, expected] : {std::pair{"light", Appearance::light}, std::pair{"dark", Appearance::dark}}) {
        testing::useAppearance(appearance);
        MainWindow window;
        window.resize(800, 600);
        EXPECT_EQ(window.palette().color(QPalette::Window), BrandStyle::color(BrandColor::bg, expected));
        const QImage picture = window.grab().toImage();
        EXPECT_EQ(picture.pixelColor(picture.width() - 2, picture.height() - 2).rgb(),
                  BrandStyle::color(BrandColor::bg, expected).rgb());
        testing::saveScreenshot(window, std::string("main-window-") + appearance);
    }
    testing::useAppearance(nullptr);
}

TEST(MainWindow, OpensAtTheSizeLastGivenItWithinTheScreen) {
    // A 1366×768 screen less a 32-pixel panel, as the window has it before it has a frame.
    const QSize laptop = QSize(1366, 768 - 32) - MainWindow::frameAllowance;
    const struct {
        std::optional<QSize> remembered;
        QSize room;
        QSize expected;
    } rows[] = {
        {std::nullopt, laptop, MainWindow::defaultSize},
        {QSize(1100, 640), laptop, QSize(1100, 640)},
        {QSize(2400, 1400), laptop, laptop},
        {std::nullopt, QSize(800, 560), QSize(800, 560)},
    };
    for (const auto& row : rows) EXPECT_EQ(MainWindow::startingSize(row.remembered, row.room), row.expected);

    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Marlowick"), QStringLiteral("Marlowick"))
        .remove(QString::fromLatin1(AppSettings::windowSizeKey));
    {
        MainWindow first;
        EXPECT_EQ(first.size(), MainWindow::defaultSize);
        // The user makes it larger; the next start opens at that size.
        first.show();
        first.resize(1100, 640);
        first.close();
    }
    EXPECT_EQ(AppSettings::windowSize(), QSize(1100, 640));
    MainWindow next;
    EXPECT_EQ(next.size(), QSize(1100, 640));
}

}  // namespace
}  // namespace marlowick
