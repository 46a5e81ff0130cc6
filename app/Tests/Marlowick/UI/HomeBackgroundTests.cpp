#include "UI/HomeBackground.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "Design/BrandStyle.hpp"
#include "UI/Accessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

TEST(HomeBackground, GridLinesStopShortOfBothEdges) {
    EXPECT_EQ(HomeBackground::gridLines(100, 30), (std::vector<double>{30, 60, 90}));
    EXPECT_EQ(HomeBackground::gridLines(65, 30), (std::vector<double>{30, 60}));
    EXPECT_EQ(HomeBackground::gridLines(90, 30), (std::vector<double>{30, 60}));
    EXPECT_TRUE(HomeBackground::gridLines(30, 30).empty());
    EXPECT_TRUE(HomeBackground::gridLines(100, 0).empty());
    EXPECT_TRUE(HomeBackground::gridLines(100, -5).empty());
}

TEST(HomeBackground, IsDecorationDrawnOverTheBrandBackground) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        HomeBackground backdrop(BrandStyle::color(BrandColor::accent));
        backdrop.resize(900, 640);
        EXPECT_TRUE(ui::isHiddenFromAccessibility(backdrop));
        EXPECT_TRUE(backdrop.testAttribute(Qt::WA_TransparentForMouseEvents));
        const QImage picture = backdrop.grab().toImage();
        // Beyond the reach of both glows (580 and 440 pixels), the bottom-left corner is the
        // plain background.
        EXPECT_EQ(picture.pixelColor(2, 637).rgb(), BrandStyle::color(BrandColor::bg).rgb());
        // The top glow tints the middle of the top.
        EXPECT_NE(picture.pixelColor(450, 90).rgb(), BrandStyle::color(BrandColor::bg).rgb());
        testing::saveScreenshot(backdrop, std::string("home-background-") + appearance);
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
