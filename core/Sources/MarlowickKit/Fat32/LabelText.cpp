#include "Fat32/LabelText.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <memory>

namespace marlowick::LabelText {
namespace {

icu::UnicodeString fromUtf8(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
}

std::u32string scalars(const icu::UnicodeString& text, std::int32_t begin, std::int32_t end) {
    std::u32string out;
    for (std::int32_t i = begin; i < end;) {
        const UChar32 c = text.char32At(i);
        out.push_back(static_cast<char32_t>(c));
        i += U16_LENGTH(c);
    }
    return out;
}

// Character boundaries of `text`; one scalar per character should ICU's rule data be
// missing, so a label is never dropped for want of it.
std::vector<std::u32string> characters(const icu::UnicodeString& text) {
    std::vector<std::u32string> out;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) {
        for (const char32_t c : scalars(text, 0, text.length())) out.emplace_back(1, c);
        return out;
    }
    breaks->setText(text);
    std::int32_t begin = breaks->first();
    for (std::int32_t end = breaks->next(); end != icu::BreakIterator::DONE; begin = end, end = breaks->next()) {
        out.push_back(scalars(text, begin, end));
    }
    return out;
}

}  // namespace

std::int64_t characterCount(std::string_view utf8) {
    return static_cast<std::int64_t>(characters(fromUtf8(utf8)).size());
}

std::vector<std::u32string> upperCasedCharacters(std::string_view utf8) {
    icu::UnicodeString text = fromUtf8(utf8);
    text.toUpper(icu::Locale::getRoot());
    return characters(text);
}

}  // namespace marlowick::LabelText
