#include "Design/BrandStyle.hpp"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QFontMetricsF>
#include <cstdlib>
#include <string>

namespace marlowick {
namespace {

struct PaletteRow {
    BrandColor role;
    const char* name;
    const char* light;
    const char* dark;
};

TEST(BrandColor, EveryRoleHasItsLightAndDarkValue) {
    const PaletteRow rows[] = {
        {BrandColor::bg, "bg", "#F8FAFE", "#08101B"},
        {BrandColor::surface, "surface", "#FFFFFF", "#151F2C"},
        {BrandColor::surfaceSunken, "surfaceSunken", "#E9EDF2", "#050A13"},
        {BrandColor::border, "border", "#D9DEE6", "#242F3D"},
        {BrandColor::text, "text", "#2C333E", "#EAEFF5"},
        {BrandColor::textHeading, "textHeading", "#131B27", "#FCFCFC"},
        {BrandColor::textMuted, "textMuted", "#535F6E", "#9CA9BA"},
        {BrandColor::textSubtle, "textSubtle", "#586475", "#8996A8"},
        {BrandColor::primary, "primary", "#006AC5", "#4AB3FF"},
        {BrandColor::accent, "accent", "#DA8A11", "#F9B227"},
        {BrandColor::successText, "successText", "#15803D", "#22C55E"},
        {BrandColor::warningText, "warningText", "#B45309", "#FBBF24"},
        {BrandColor::errorText, "errorText", "#B91C1C", "#EF4444"},
        {BrandColor::errorSolid, "errorSolid", "#DC2626", "#EF4444"},
    };
    ASSERT_EQ(std::size(rows), brandColorTable.size());
    for (const PaletteRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(brandColorName(row.role), row.name);
        EXPECT_EQ(BrandStyle::color(row.role, Appearance::light), QColor(QString::fromLatin1(row.light)));
        EXPECT_EQ(BrandStyle::color(row.role, Appearance::dark), QColor(QString::fromLatin1(row.dark)));
    }
}

TEST(BrandColor, HexTextIsReadLikeAnUnsignedNumberOrGivesMidGrey) {
    const QColor blue(0, 106, 197);
    const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f);
    const struct {
        const char* text;
        QColor expected;
    } cases[] = {
        {"#006AC5", blue}, {"006AC5", blue}, {"#006ac5", blue},
        {"", grey}, {"#", grey}, {"#12345", grey}, {"#1234567", grey}, {"#GGGGGG", grey},
        {"##006AC5", grey}, {" 06AC5", grey},
        // The integer parser's signs: "+" is accepted, "-" only for zero.
        {"+06AC5", QColor(0, 0x6A, 0xC5)}, {"-00000", QColor(0, 0, 0)}, {"-00001", grey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(BrandStyle::hexColor(c.text), c.expected);
        EXPECT_EQ(BrandStyle::hexColor(c.text).alphaF(), 1.0f);
    }
}

TEST(BrandColor, TheAppearanceFollowsThePlatformPaletteUnlessForced) {
    unsetenv("MARLOWICK_APPEARANCE");
    QPalette original = QGuiApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    QGuiApplication::setPalette(dark);
    EXPECT_EQ(BrandStyle::currentAppearance(), Appearance::dark);
    EXPECT_EQ(BrandStyle::color(BrandColor::bg), QColor(0x08, 0x10, 0x1B));

    QPalette light = original;
    light.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xEF));
    QGuiApplication::setPalette(light);
    EXPECT_EQ(BrandStyle::currentAppearance(), Appearance::light);
    EXPECT_EQ(BrandStyle::color(BrandColor::bg), QColor(0xF8, 0xFA, 0xFE));

    setenv("MARLOWICK_APPEARANCE", "dark", 1);
    EXPECT_EQ(BrandStyle::currentAppearance(), Appearance::dark);
    setenv("MARLOWICK_APPEARANCE", "sepia", 1);  // not an appearance: the platform decides
    EXPECT_EQ(BrandStyle::currentAppearance(), Appearance::light);
    unsetenv("MARLOWICK_APPEARANCE");
    QGuiApplication::setPalette(original);
}

TEST(BrandFont, TheTypeScaleUsesTheBrandFamilyAndReadoutFiguresAreOneWidth) {
    const struct {
        BrandFont style;
        int pixelSize;
        QFont::Weight weight;
    } rows[] = {
        {BrandFont::heroTitle, 26, QFont::Bold},  {BrandFont::sectionTitle, 17, QFont::Bold},
        {BrandFont::cardTitle, 13, QFont::Bold},  {BrandFont::body, 13, QFont::Normal},
        {BrandFont::callout, 12, QFont::Normal},  {BrandFont::caption, 10, QFont::Normal},
        {BrandFont::readout, 11, QFont::Normal},  {BrandFont::wordmarkLarge, 34, QFont::Bold},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(brandFontValues(row.style).name));
        const QFont font = BrandStyle::font(row.style);
        EXPECT_EQ(font.pixelSize(), row.pixelSize);
        EXPECT_EQ(font.weight(), row.weight);
        // The family is installed, not substituted.
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    }
    const QFontMetricsF readout(BrandStyle::font(BrandFont::readout));
    const double zero = readout.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        EXPECT_DOUBLE_EQ(readout.horizontalAdvance(QLatin1Char(digit)), zero) << digit;
    }
}

}  // namespace
}  // namespace marlowick
