#include "MainWindow.hpp"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLabel>

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
    EXPECT_NE(testing::findElement<QLabel>(window, QStringLiteral("test.content")), nullptr);

    const std::string path = testing::saveScreenshot(window, "main-window");
    const QImage saved(QString::fromStdString(path));
    EXPECT_EQ(saved.width(), window.grab().width());
}

}  // namespace
}  // namespace marlowick
