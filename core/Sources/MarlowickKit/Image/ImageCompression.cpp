#include "Image/ImageCompression.hpp"

#include <algorithm>
#include <array>

#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

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
    const std::string trimmedName = trimmedWhiteSpace(name);
    for (const Suffix& suffix : suffixes) {
        if (endsWithIgnoringCase(trimmedName, suffix.text)) return suffix.compression;
    }
    return ImageCompression::none;
}

std::string ImageCompressionNames::stripCompressionSuffix(std::string_view name) {
    const std::string trimmedName = trimmedWhiteSpace(name);
    for (const Suffix& suffix : suffixes) {
        if (endsWithIgnoringCase(trimmedName, suffix.text)) {
            return std::string(trimmedName.substr(0, trimmedName.size() - suffix.text.size()));
        }
    }
    return std::string(trimmedName);
}

bool RawImageNames::isRawImage(std::string_view name) {
    const std::string stripped = ImageCompressionNames::stripCompressionSuffix(name);
    return endsWithIgnoringCase(trimmedWhiteSpace(stripped), ".img");
}

}  // namespace marlowick
