#pragma once
// The brand palette and type scale as Qt values, resolved when they are asked for.
//
// The appearance follows the desktop: Qt 6.4 has no colour-scheme API, so a dark window
// colour in the platform's palette (lightness below the middle) means dark. The brand
// style never changes the application palette, so that reading stays the platform's own;
// windows take brandPalette() on themselves. MARLOWICK_APPEARANCE=light or dark forces one
// (for tests and screenshots); any other value is ignored.

#include <string_view>

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

#include "Design/BrandColor.hpp"
#include "Design/BrandFont.hpp"

namespace marlowick::BrandStyle {

[[nodiscard]] Appearance currentAppearance();

// The role in the appearance in force now, or in the one given.
[[nodiscard]] QColor color(BrandColor role);
[[nodiscard]] QColor color(BrandColor role, Appearance appearance);
// `role` at an opacity between 0 and 1.
[[nodiscard]] QColor color(BrandColor role, double opacity);

// parseHexColor as a QColor: an sRGB colour, or opaque mid grey for text that is not one.
[[nodiscard]] QColor hexColor(std::string_view text);

[[nodiscard]] QFont font(BrandFont style);
// The brand's monospaced face at `pixelSize`, regular weight.
[[nodiscard]] QFont monospacedFont(int pixelSize);

// Gives a text widget a brand font and text colour, with links in the primary colour.
void styleText(QWidget& widget, BrandFont font, BrandColor color);

// A window palette from the brand roles: backgrounds, text, links, highlight.
[[nodiscard]] QPalette palette(Appearance appearance);

}  // namespace marlowick::BrandStyle
