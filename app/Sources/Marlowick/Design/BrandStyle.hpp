#pragma once
// The brand palette and type scale as Qt values, resolved when they are asked for.
//
// The appearance follows the desktop: Qt 6.4 has no colour-scheme API, so a dark window
// colour in the application palette (lightness below the middle) means dark. That palette is
// the platform's until the application look (UI/ApplicationLook) sets the brand palette of
// the same appearance in its place, and the platform's again for a moment whenever the
// desktop changes its theme. MARLOWICK_APPEARANCE=light or dark forces one (for tests and
// screenshots); any other value is ignored.

#include <string_view>

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

#include "Design/BrandColor.hpp"
#include "Design/BrandFont.hpp"
#include "Design/BrandText.hpp"

namespace marlowick::BrandStyle {

[[nodiscard]] Appearance currentAppearance();
// The appearance a palette tells: dark when its window colour is darker than the middle.
[[nodiscard]] Appearance appearanceOf(const QPalette& palette);

// The role in the appearance in force now, or in the one given.
[[nodiscard]] QColor color(BrandColor role);
[[nodiscard]] QColor color(BrandColor role, Appearance appearance);
// `role` at an opacity between 0 and 1.
[[nodiscard]] QColor color(BrandColor role, double opacity);

// parseHexColor as a QColor: an sRGB colour, or opaque mid grey for text that is not one.
[[nodiscard]] QColor hexColor(std::string_view text);

// The colour `wanted` text is drawn in on `background`, in the appearance in force: its own
// where it reads, else the body text colour (see BrandText).
[[nodiscard]] QColor textColor(BrandColor wanted, const TextBackground& background = {},
                               TextSize size = TextSize::body);
// The colour of a title on a solid `fill`, in the appearance in force.
[[nodiscard]] QColor fillTextColor(BrandColor fill);

[[nodiscard]] QFont font(BrandFont style);
// The brand's monospaced face at `pixelSize`, regular weight.
[[nodiscard]] QFont monospacedFont(int pixelSize);

// Gives a text widget a brand font and text colour (readable on `background`), with links in
// the primary colour.
void styleText(QWidget& widget, BrandFont font, BrandColor color, const TextBackground& background = {});

// The application palette from the brand roles: backgrounds, text, links, highlight.
[[nodiscard]] QPalette palette(Appearance appearance);

}  // namespace marlowick::BrandStyle
