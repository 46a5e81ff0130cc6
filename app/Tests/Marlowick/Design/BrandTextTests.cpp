#include "Design/BrandText.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace marlowick {
namespace {

HexColor hex(const char* text) { return parseHexColor(text); }

std::string hexText(const HexColor& color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color.red, color.green, color.blue);
    return text;
}

TEST(BrandText, ContrastIsTheRatioOfRelativeLuminances) {
    const struct {
        const char* first;
        const char* second;
        double ratio;
    } cases[] = {
        {"#FFFFFF", "#000000", 21.0},
        {"#777777", "#777777", 1.0},
        // The faults the window had: white titles on the dark primary and error fills, and
        // links in the platform's blue on the dark surface.
        {"#FFFFFF", "#4AB3FF", 2.29},
        {"#FFFFFF", "#EF4444", 3.76},
        {"#0000FF", "#151F2C", 1.93},
        {"#FFFFFF", "#006AC5", 5.43},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " on " + c.second);
        EXPECT_NEAR(BrandText::contrast(hex(c.first), hex(c.second)), c.ratio, 0.005);
        EXPECT_NEAR(BrandText::contrast(hex(c.second), hex(c.first)), c.ratio, 0.005);
    }
}

// The contrast table: every kind of text the application draws, in both appearances, with
// the colour it is drawn in, its background as seen, and the ratio. Printed for a person to
// read; each row must reach 4.5 (3 for large text).
TEST(BrandText, EveryTextTheApplicationDrawsReadsInLightAndDark) {
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
        const char* name = appearance == Appearance::light ? "light" : "dark";
        for (const BrandTextPair& pair : brandTextPairs) {
            SCOPED_TRACE(std::string(name) + ": " + std::string(pair.use));
            const HexColor text = BrandText::drawnText(pair, appearance);
            const HexColor background = BrandText::backgroundColor(pair.background, appearance);
            const double ratio = BrandText::contrast(text, background);
            std::printf("%-5s %-62s %s on %s  %5.2f\n", name, std::string(pair.use).c_str(), hexText(text).c_str(),
                        hexText(background).c_str(), ratio);
            EXPECT_GE(ratio, BrandText::requiredContrast(pair.size));
        }
    }
}

TEST(BrandText, AColourKeepsItsOwnValueWhereItReadsAndGivesWayWhereItDoesNot) {
    const HexColor white = hex("#FFFFFF");
    const HexColor darkBackdrop = hex("#08101B");
    const struct {
        const char* what;
        HexColor drawn;
        HexColor expected;
    } cases[] = {
        // Titles on fills: white in light; the dark backdrop colour on the lighter dark fills.
        {"light primary fill", BrandText::fillTextColor(BrandColor::primary, Appearance::light), white},
        {"light error fill", BrandText::fillTextColor(BrandColor::errorSolid, Appearance::light), white},
        {"dark primary fill", BrandText::fillTextColor(BrandColor::primary, Appearance::dark), darkBackdrop},
        {"dark error fill", BrandText::fillTextColor(BrandColor::errorSolid, Appearance::dark), darkBackdrop},
        // Status text keeps its colour where it reads...
        {"light error on a card", BrandText::textColor(BrandColor::errorText, {BrandColor::surface}, Appearance::light),
         hex("#B91C1C")},
        {"dark warning in a box",
         BrandText::textColor(BrandColor::warningText, {BrandColor::surfaceSunken}, Appearance::dark), hex("#FBBF24")},
        {"dark error on the backdrop", BrandText::textColor(BrandColor::errorText, {BrandColor::bg}, Appearance::dark),
         hex("#EF4444")},
        // ...and is body text where it does not (4.41 and 4.27).
        {"dark error on a card", BrandText::textColor(BrandColor::errorText, {BrandColor::surface}, Appearance::dark),
         hex("#EAEFF5")},
        {"light warning in a box",
         BrandText::textColor(BrandColor::warningText, {BrandColor::surfaceSunken}, Appearance::light),
         hex("#2C333E")},
        {"light chip, ready",
         BrandText::textColor(BrandColor::successText,
                              {BrandColor::surfaceSunken, BrandColor::successText, 0.14}, Appearance::light),
         hex("#2C333E")},
        // Large text needs 3, which the light accent on the backdrop still misses (2.64).
        {"light accent, large", BrandText::textColor(BrandColor::accent, {BrandColor::bg}, Appearance::light,
                                                     TextSize::large),
         hex("#2C333E")},
        {"dark accent", BrandText::textColor(BrandColor::accent, {BrandColor::bg}, Appearance::dark), hex("#F9B227")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hexText(c.drawn), hexText(c.expected));
    }
}

TEST(BrandText, ATintIsLaidOverItsBase) {
    // The primary at 0.1 over the light surface: 255 - 0.1 × (255 - channel).
    const HexColor seen =
        BrandText::backgroundColor({BrandColor::surface, BrandColor::primary, 0.1}, Appearance::light);
    EXPECT_EQ(hexText(seen), "#E6F0F9");
    EXPECT_EQ(hexText(BrandText::backgroundColor({BrandColor::surfaceSunken}, Appearance::dark)), "#050A13");
}

}  // namespace
}  // namespace marlowick
