#include "Text/UnicodeText.hpp"

#include <algorithm>
#include <cstdint>

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace marlowick {
namespace {

// Calls visit(codePoint) for each code point; a malformed sequence arrives as a negative value.
template <class Visit>
bool everyCodePoint(std::string_view utf8, Visit visit) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
    // ICU walks with 32-bit offsets; labels and versions are far shorter.
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(utf8.size(), INT32_MAX));
    std::int32_t offset = 0;
    while (offset < length) {
        UChar32 codePoint = 0;
        U8_NEXT(bytes, offset, length, codePoint);
        if (!visit(codePoint)) return false;
    }
    return true;
}

}  // namespace

bool isBlank(std::string_view utf8) {
    return everyCodePoint(utf8, [](UChar32 codePoint) { return codePoint >= 0 && u_isUWhiteSpace(codePoint); });
}

// ICU's backward stepping macro casts in the C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::string trimmedWhiteSpace(std::string_view utf8) {
    // ICU walks with 32-bit offsets; a longer text is no label or name and stays as it is.
    if (utf8.size() > static_cast<std::size_t>(INT32_MAX)) return std::string(utf8);
    const auto isSpace = [](UChar32 codePoint) { return codePoint >= 0 && u_isUWhiteSpace(codePoint); };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto length = static_cast<std::int32_t>(utf8.size());
    std::int32_t begin = 0;
    while (begin < length) {
        std::int32_t next = begin;
        UChar32 codePoint = 0;
        U8_NEXT(bytes, next, length, codePoint);
        if (!isSpace(codePoint)) break;
        begin = next;
    }
    std::int32_t end = length;
    while (end > begin) {
        std::int32_t previous = end;
        UChar32 codePoint = 0;
        U8_PREV(bytes, begin, previous, codePoint);
        if (!isSpace(codePoint)) break;
        end = previous;
    }
    return std::string(utf8.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}
#pragma GCC diagnostic pop

std::int64_t utf16Length(std::string_view utf8) {
    std::int64_t units = 0;
    (void)everyCodePoint(utf8, [&units](UChar32 codePoint) {
        units += codePoint < 0 ? 1 : U16_LENGTH(codePoint);
        return true;
    });
    return units;
}

std::string repairedUtf8(std::string_view bytes) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(bytes.data(), static_cast<std::int32_t>(bytes.size())))
        .toUTF8String(out);
    return out;
}

}  // namespace marlowick
