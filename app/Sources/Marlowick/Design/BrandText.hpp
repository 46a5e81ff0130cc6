#pragma once
// Which colour text is drawn in, on which background: the one source for the views and for
// the contrast table that checks them. The palette's values stay as they are; what is chosen
// here is the text drawn on them.
//
// Contrast is the relative-luminance ratio of two sRGB colours, from 1 to 21. Text needs 4.5
// at body size and 3 when large (18 points, or 14 points bold). A coloured text (a status,
// a link) keeps its colour where it reads on its background; where it would not, it is
// drawn in the body text colour instead, and the symbol beside it keeps the colour. Text on
// a solid fill (a prominent button, a selection) is white where white reads, else the
// darkest colour of the appearance.
//
// Not listed: the wordmark, which is the brand's logotype, and symbols, which are not text.

#include <array>
#include <optional>
#include <string_view>

#include "Design/BrandColor.hpp"

namespace marlowick {

// The background text stands on: a palette colour, optionally tinted by another colour laid
// over it at an opacity (a status chip's capsule, a notice's box, a selected row).
struct TextBackground {
    BrandColor base = BrandColor::surface;
    std::optional<BrandColor> tint = std::nullopt;
    double tintOpacity = 0;
};

enum class TextSize {
    body,   // needs 4.5
    large,  // 18 points, or 14 points bold: needs 3
};

// One kind of text the application draws: `text` on `background`, or, without `text`, the
// title on a solid `background.base` fill.
struct BrandTextPair {
    std::string_view use;
    std::optional<BrandColor> text;
    TextBackground background;
    TextSize size = TextSize::body;
};

namespace BrandText {

[[nodiscard]] double relativeLuminance(const HexColor& color);
[[nodiscard]] double contrast(const HexColor& first, const HexColor& second);
// The least contrast text of this size needs.
[[nodiscard]] double requiredContrast(TextSize size);

// The background as it is seen: the tint laid over the base.
[[nodiscard]] HexColor backgroundColor(const TextBackground& background, Appearance appearance);
// The colour `wanted` text is drawn in on `background`: `wanted`, or the body text colour
// where `wanted` would not read.
[[nodiscard]] HexColor textColor(BrandColor wanted, const TextBackground& background, Appearance appearance,
                                 TextSize size = TextSize::body);
// The colour of a title on a solid `fill`.
[[nodiscard]] HexColor fillTextColor(BrandColor fill, Appearance appearance, TextSize size = TextSize::body);
// What `pair` draws its text in.
[[nodiscard]] HexColor drawnText(const BrandTextPair& pair, Appearance appearance);

}  // namespace BrandText

// Every kind of text the application draws, with its background.
inline constexpr auto brandTextPairs = std::to_array<BrandTextPair>({
    // The texts of the palette on the three backgrounds of windows, cards and boxes.
    {"body text on the backdrop", BrandColor::text, {BrandColor::bg}},
    {"body text on a card or sheet", BrandColor::text, {BrandColor::surface}},
    {"body text in a recessed box", BrandColor::text, {BrandColor::surfaceSunken}},
    {"heading on the backdrop", BrandColor::textHeading, {BrandColor::bg}},
    {"heading on a card or sheet", BrandColor::textHeading, {BrandColor::surface}},
    {"heading in a recessed box", BrandColor::textHeading, {BrandColor::surfaceSunken}},
    {"secondary text on the backdrop", BrandColor::textMuted, {BrandColor::bg}},
    {"secondary text on a card or sheet", BrandColor::textMuted, {BrandColor::surface}},
    {"secondary text in a recessed box", BrandColor::textMuted, {BrandColor::surfaceSunken}},
    {"faint text on the backdrop", BrandColor::textSubtle, {BrandColor::bg}},
    {"faint text on a card or sheet (placeholders, disabled titles)", BrandColor::textSubtle, {BrandColor::surface}},
    {"faint text in a recessed box", BrandColor::textSubtle, {BrandColor::surfaceSunken}},
    {"link on the backdrop", BrandColor::primary, {BrandColor::bg}},
    {"link on a card or sheet", BrandColor::primary, {BrandColor::surface}},
    {"link in a recessed box", BrandColor::primary, {BrandColor::surfaceSunken}},
    // Status texts: messages, notes, validation, the browser's Delete…, diagnostics.
    {"success text on a card or sheet", BrandColor::successText, {BrandColor::surface}},
    {"success text in a recessed box", BrandColor::successText, {BrandColor::surfaceSunken}},
    {"warning text on a card or sheet", BrandColor::warningText, {BrandColor::surface}},
    {"warning text in a recessed box", BrandColor::warningText, {BrandColor::surfaceSunken}},
    {"error text on a card or sheet", BrandColor::errorText, {BrandColor::surface}},
    {"error text in a recessed box", BrandColor::errorText, {BrandColor::surfaceSunken}},
    {"warning caption of a drive row on the backdrop", BrandColor::warningText, {BrandColor::bg}},
    {"list marker of a legal document", BrandColor::accent, {BrandColor::bg}},
    // Status chips, in drive cards: the status colour on a capsule of itself at 0.14.
    {"chip: not set up", BrandColor::primary, {BrandColor::surfaceSunken, BrandColor::primary, 0.14}},
    {"chip: ready", BrandColor::successText, {BrandColor::surfaceSunken, BrandColor::successText, 0.14}},
    {"chip: warning", BrandColor::warningText, {BrandColor::surfaceSunken, BrandColor::warningText, 0.14}},
    {"chip: error", BrandColor::errorText, {BrandColor::surfaceSunken, BrandColor::errorText, 0.14}},
    {"chip: no drive", BrandColor::textSubtle, {BrandColor::surfaceSunken, BrandColor::textSubtle, 0.14}},
    // Boxes tinted with a colour: the large-drive caution, the download heads-up, a selected row.
    {"caution text on its warning box", BrandColor::text, {BrandColor::surface, BrandColor::warningText, 0.12}},
    {"heads-up text on its box", BrandColor::text, {BrandColor::surface, BrandColor::primary, 0.1}},
    {"heads-up note on its box", BrandColor::textMuted, {BrandColor::surface, BrandColor::primary, 0.1}},
    {"file name on a selected row", BrandColor::text, {BrandColor::surface, BrandColor::primary, 0.22}},
    {"file date and size on a selected row", BrandColor::textMuted, {BrandColor::surface, BrandColor::primary, 0.22}},
    {"file date and size on every other row", BrandColor::textMuted,
     {BrandColor::surface, BrandColor::surfaceSunken, 0.5}},
    // Titles on solid fills: prominent buttons, selections, the chosen segment.
    {"prominent button, selected text, chosen segment", std::nullopt, {BrandColor::primary}},
    {"destructive prominent button", std::nullopt, {BrandColor::errorSolid}},
});

}  // namespace marlowick
