#include "Design/BrandText.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace marlowick::BrandText {
namespace {

double linear(std::uint8_t channel) {
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

HexColor roleColor(BrandColor role, Appearance appearance) { return parseHexColor(brandColorHex(role, appearance)); }

std::uint8_t mix(std::uint8_t over, std::uint8_t under, double opacity) {
    return static_cast<std::uint8_t>(std::lround(over * opacity + under * (1.0 - opacity)));
}

// The first candidate that reads on `background`, else the one that reads best.
HexColor firstReadable(std::initializer_list<HexColor> candidates, const HexColor& background, TextSize size) {
    const HexColor* best = candidates.begin();
    for (const HexColor& candidate : candidates) {
        if (contrast(candidate, background) >= requiredContrast(size)) return candidate;
        if (contrast(candidate, background) > contrast(*best, background)) best = &candidate;
    }
    return *best;
}

}  // namespace

double relativeLuminance(const HexColor& color) {
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

double contrast(const HexColor& first, const HexColor& second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

double requiredContrast(TextSize size) { return size == TextSize::large ? 3.0 : 4.5; }

HexColor backgroundColor(const TextBackground& background, Appearance appearance) {
    const HexColor base = roleColor(background.base, appearance);
    if (!background.tint) return base;
    const HexColor tint = roleColor(*background.tint, appearance);
    const double opacity = background.tintOpacity;
    return HexColor{mix(tint.red, base.red, opacity), mix(tint.green, base.green, opacity),
                    mix(tint.blue, base.blue, opacity), true};
}

HexColor textColor(BrandColor wanted, const TextBackground& background, Appearance appearance, TextSize size) {
    return firstReadable({roleColor(wanted, appearance), roleColor(BrandColor::text, appearance)},
                         backgroundColor(background, appearance), size);
}

HexColor fillTextColor(BrandColor fill, Appearance appearance, TextSize size) {
    const HexColor white{0xFF, 0xFF, 0xFF, true};
    return firstReadable({white, roleColor(BrandColor::bg, Appearance::dark)}, roleColor(fill, appearance), size);
}

HexColor drawnText(const BrandTextPair& pair, Appearance appearance) {
    if (!pair.text) return fillTextColor(pair.background.base, appearance, pair.size);
    return textColor(*pair.text, pair.background, appearance, pair.size);
}

}  // namespace marlowick::BrandText
