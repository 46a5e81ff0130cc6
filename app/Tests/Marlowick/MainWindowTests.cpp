#include "MainWindow.hpp"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <cstdlib>

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

}  // namespace
}  // namespace marlowick
