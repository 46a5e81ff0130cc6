#include "Image/ByteCountText.hpp"

#include <unicode/locid.h>
#include <unicode/numberformatter.h>

#include <array>

namespace marlowick::ByteCountText {
namespace {

__extension__ using Wide = unsigned __int128;

struct Unit {
    const char* name;
    std::uint64_t bytes;
    int fractionDigits;
};
constexpr std::array<Unit, 6> units{{
    {"KB", 1'000ULL, 0},
    {"MB", 1'000'000ULL, 1},
    {"GB", 1'000'000'000ULL, 2},
    {"TB", 1'000'000'000'000ULL, 2},
    {"PB", 1'000'000'000'000'000ULL, 2},
    {"EB", 1'000'000'000'000'000'000ULL, 2},
}};

std::uint64_t magnitude(std::int64_t bytes) {
    // Unsigned negation: INT64_MIN has no positive counterpart in 64 signed bits.
    return bytes < 0 ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
}

std::string digits(Wide value) {
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return text;
}

// `scaled` ÷ 10^fractionDigits as plain decimal text, trailing fraction zeros dropped.
std::string decimalText(Wide scaled, int fractionDigits) {
    std::string text = digits(scaled);
    if (fractionDigits == 0) return text;
    const auto width = static_cast<std::size_t>(fractionDigits) + 1;
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    text.insert(text.size() - static_cast<std::size_t>(fractionDigits), ".");
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

Wide roundHalfEven(Wide numerator, Wide denominator) {
    const Wide quotient = numerator / denominator;
    const Wide twiceRemainder = (numerator % denominator) * 2;
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 == 1)) return quotient + 1;
    return quotient;
}

Wide powerOfTen(int exponent) {
    Wide value = 1;
    for (int i = 0; i < exponent; ++i) value *= 10;
    return value;
}

// Plain decimal text ("-4700000000", "4.7") in the locale's digits, grouping and separator;
// the text itself when the number formatter has nothing to offer.
std::string localised(const std::string& plain, std::string_view locale) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
    const auto formatted = icu::number::NumberFormatter::withLocale(where)
                               .precision(icu::number::Precision::unlimited())
                               .formatDecimal(icu::StringPiece(plain.c_str()), status);
    if (U_FAILURE(status)) return plain;
    std::string text;
    formatted.toString(status).toUTF8String(text);
    if (U_FAILURE(status) || text.empty()) return plain;
    return text;
}

}  // namespace

std::string fileSize(std::int64_t bytes, std::string_view locale) {
    if (bytes == 0) return "Zero KB";
    const std::string sign = bytes < 0 ? "-" : "";
    const std::uint64_t size = magnitude(bytes);
    if (size == 1) return sign + "1 byte";
    if (size < units.front().bytes) return localised(sign + digits(size), locale) + " bytes";

    std::size_t index = units.size() - 1;
    while (size < units[index].bytes) --index;
    Wide scaled = 0;
    while (true) {
        const Unit& unit = units[index];
        const Wide scale = powerOfTen(unit.fractionDigits);
        scaled = roundHalfEven(Wide{size} * scale, unit.bytes);
        if (scaled < 1000 * scale || index + 1 == units.size()) break;
        ++index;
    }
    return localised(sign + decimalText(scaled, units[index].fractionDigits), locale) + " " + units[index].name;
}

std::string exactBytes(std::int64_t bytes, std::string_view locale) {
    const std::string plain = (bytes < 0 ? "-" : "") + digits(magnitude(bytes));
    return localised(plain, locale) + " bytes";
}

}  // namespace marlowick::ByteCountText
