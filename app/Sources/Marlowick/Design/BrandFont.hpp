#pragma once
// The brand type scale: eight text styles. Sizes are in logical pixels, the same unit as
// every other length of the layout. The family is DejaVu Sans (Debian's fonts-dejavu-core),
// whose figures are all one width, so counters and times keep their width as they change.

#include <array>
#include <string_view>

namespace marlowick {

enum class BrandFont { heroTitle, sectionTitle, cardTitle, body, callout, caption, readout, wordmarkLarge };

enum class BrandFontWeight { regular, semibold, bold, heavy };

struct BrandFontValues {
    BrandFont style;
    std::string_view name;
    int pixelSize;
    BrandFontWeight weight;
    bool tabularFigures;  // a style that shows changing numbers side by side
};

inline constexpr std::string_view brandFontFamily = "DejaVu Sans";
// The monospaced face of the same family, for verbatim text: reports, fenced text.
inline constexpr std::string_view brandMonospacedFamily = "DejaVu Sans Mono";

inline constexpr std::array<BrandFontValues, 8> brandFontTable{{
    {BrandFont::heroTitle, "heroTitle", 26, BrandFontWeight::bold, false},
    {BrandFont::sectionTitle, "sectionTitle", 17, BrandFontWeight::bold, false},
    {BrandFont::cardTitle, "cardTitle", 13, BrandFontWeight::bold, false},
    {BrandFont::body, "body", 13, BrandFontWeight::regular, false},
    {BrandFont::callout, "callout", 12, BrandFontWeight::regular, false},
    {BrandFont::caption, "caption", 10, BrandFontWeight::regular, false},
    {BrandFont::readout, "readout", 11, BrandFontWeight::regular, true},
    {BrandFont::wordmarkLarge, "wordmarkLarge", 34, BrandFontWeight::bold, false},
}};

[[nodiscard]] inline const BrandFontValues& brandFontValues(BrandFont style) {
    return brandFontTable[static_cast<std::size_t>(style)];
}

}  // namespace marlowick
