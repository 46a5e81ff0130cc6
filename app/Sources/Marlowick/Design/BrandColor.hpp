#pragma once
// The brand palette: fourteen colour roles, each with a light and a dark value. Views name
// a role; BrandStyle resolves it for the appearance in force when it is drawn, so a role
// follows every change between light and dark without being rebuilt.

#include <array>
#include <cstdint>
#include <string_view>

namespace marlowick {

enum class Appearance { light, dark };

enum class BrandColor {
    bg,             // the home backdrop and sheet backgrounds
    surface,        // cards and sheet panels
    surfaceSunken,  // recessed boxes inside a sheet
    border,         // outlines of cards and boxes
    text,           // body text
    textHeading,    // titles; first run of the wordmark
    textMuted,      // secondary text, row labels
    textSubtle,     // the faintest text and icons
    primary,        // links and tints
    accent,         // the brand mark, second run of the wordmark, accents
    successText,
    warningText,
    errorText,
    errorSolid,  // solid error emphasis in the home hero
};

struct BrandColorValues {
    BrandColor role;
    std::string_view name;
    std::string_view light;  // "#RRGGBB"
    std::string_view dark;
};

inline constexpr std::array<BrandColorValues, 14> brandColorTable{{
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
}};

// The "#RRGGBB" text of a role in an appearance.
[[nodiscard]] std::string_view brandColorHex(BrandColor role, Appearance appearance);
[[nodiscard]] std::string_view brandColorName(BrandColor role);

// An sRGB colour read from hex text; `valid` false stands for opaque mid grey, the colour
// of any text that is not a colour.
struct HexColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool valid = false;
    bool operator==(const HexColor&) const = default;
};

// An optional "#", then exactly six characters read as one unsigned hexadecimal number the
// way a standard integer parser reads it: a leading "+" is accepted, a leading "-" only for
// zero. Anything else is not a colour.
[[nodiscard]] HexColor parseHexColor(std::string_view text);

}  // namespace marlowick
