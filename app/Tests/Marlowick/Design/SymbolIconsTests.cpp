#include "Design/SymbolIcons.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <set>

namespace marlowick {
namespace {

TEST(SymbolIcons, EverySymbolOfTheTableIsAnInstalledIconOfTheTheme) {
    std::set<std::string_view> symbols;
    for (const auto& mapping : SymbolIcons::table) {
        SCOPED_TRACE(std::string(mapping.symbol));
        EXPECT_TRUE(symbols.insert(mapping.symbol).second) << "listed twice";
        const QIcon icon = SymbolIcons::icon(mapping.symbol);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.name().toStdString(), mapping.themeIcon);
        EXPECT_FALSE(icon.pixmap(24, 24).isNull());
    }
    EXPECT_TRUE(SymbolIcons::icon("no.such.symbol").isNull());
    EXPECT_EQ(SymbolIcons::themeIconName("no.such.symbol"), "");
}

TEST(SymbolIcons, ATintedSymbolTakesTheColourAndKeepsItsShape) {
    const QColor accent(0xDA, 0x8A, 0x11);
    const QImage image = SymbolIcons::tinted("externaldrive.fill", 32, accent).toImage();
    ASSERT_FALSE(image.isNull());
    int painted = 0;
    int clear = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255) {
                ++painted;
                EXPECT_EQ(pixel.rgb(), accent.rgb());
            } else if (pixel.alpha() == 0) {
                ++clear;
            }
        }
    }
    EXPECT_GT(painted, 0);
    EXPECT_GT(clear, 0);
    EXPECT_TRUE(SymbolIcons::tinted("externaldrive.fill", 0, accent).isNull());
}

}  // namespace
}  // namespace marlowick
