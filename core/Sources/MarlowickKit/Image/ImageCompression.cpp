#include "Image/ImageCompression.hpp"

#include <algorithm>
#include <array>

namespace marlowick {
namespace {

// The white space and line breaks a pasted or typed name may carry, in UTF-8.
constexpr std::array<std::string_view, 25> whiteSpace{
    " ",            "\t",           "\n",           "\v",           "\f",           "\r",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80"};

std::string_view trimmed(std::string_view text) {
    const auto strip = [&](bool fromFront) {
        for (const std::string_view space : whiteSpace) {
            if (fromFront ? text.starts_with(space) : text.ends_with(space)) {
                text = fromFront ? text.substr(space.size()) : text.substr(0, text.size() - space.size());
                return true;
            }
        }
        return false;
    };
    while (strip(true)) {}
    while (strip(false)) {}
    return text;
}

// The suffixes are ASCII, and no other letter lower-cases onto g, x, z, i or m, so an
// ASCII-only comparison decides exactly as a full lower-casing would.
bool endsWithIgnoringCase(std::string_view text, std::string_view lowerSuffix) {
    if (text.size() < lowerSuffix.size()) return false;
    const std::string_view tail = text.substr(text.size() - lowerSuffix.size());
    return std::equal(tail.begin(), tail.end(), lowerSuffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

struct Suffix {
    std::string_view text;
    ImageCompression compression;
};
constexpr std::array<Suffix, 2> suffixes{{{".gz", ImageCompression::gzip}, {".xz", ImageCompression::xz}}};

}  // namespace

ImageCompression ImageCompressionNames::detect(std::string_view name) {
    const std::string_view trimmedName = trimmed(name);
    for (const Suffix& suffix : suffixes) {
        if (endsWithIgnoringCase(trimmedName, suffix.text)) return suffix.compression;
    }
    return ImageCompression::none;
}

std::string ImageCompressionNames::stripCompressionSuffix(std::string_view name) {
    const std::string_view trimmedName = trimmed(name);
    for (const Suffix& suffix : suffixes) {
        if (endsWithIgnoringCase(trimmedName, suffix.text)) {
            return std::string(trimmedName.substr(0, trimmedName.size() - suffix.text.size()));
        }
    }
    return std::string(trimmedName);
}

bool RawImageNames::isRawImage(std::string_view name) {
    const std::string stripped = ImageCompressionNames::stripCompressionSuffix(name);
    return endsWithIgnoringCase(trimmed(stripped), ".img");
}

}  // namespace marlowick
