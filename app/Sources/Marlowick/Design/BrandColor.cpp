#include "Design/BrandColor.hpp"

#include <optional>

namespace marlowick {
namespace {

const BrandColorValues& valuesOf(BrandColor role) {
    return brandColorTable[static_cast<std::size_t>(role)];
}

std::optional<std::uint32_t> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    return std::nullopt;
}

std::optional<std::uint32_t> hexNumber(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        const auto digit = hexDigit(c);
        if (!digit) return std::nullopt;
        value = value * 16 + *digit;
    }
    return value;
}

}  // namespace

std::string_view brandColorHex(BrandColor role, Appearance appearance) {
    const BrandColorValues& values = valuesOf(role);
    return appearance == Appearance::dark ? values.dark : values.light;
}

std::string_view brandColorName(BrandColor role) { return valuesOf(role).name; }

HexColor parseHexColor(std::string_view text) {
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != 6) return {};
    std::optional<std::uint32_t> value;
    if (text.front() == '+') {
        value = hexNumber(text.substr(1));
    } else if (text.front() == '-') {
        // A negative number fits no unsigned type; only "-0" survives the parse.
        value = hexNumber(text.substr(1));
        if (value && *value != 0) value.reset();
    } else {
        value = hexNumber(text);
    }
    if (!value) return {};
    return HexColor{static_cast<std::uint8_t>((*value >> 16) & 0xFF), static_cast<std::uint8_t>((*value >> 8) & 0xFF),
                    static_cast<std::uint8_t>(*value & 0xFF), true};
}

}  // namespace marlowick
