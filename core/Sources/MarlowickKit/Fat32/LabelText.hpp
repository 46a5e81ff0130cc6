#pragma once
// Unicode facts about a volume label, as a person reads it: characters are extended
// grapheme clusters (a CR-LF pair or an accented letter built from two scalars is one
// character), and upper-casing is the full, locale-independent mapping (ß becomes SS).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marlowick::LabelText {

// Invalid UTF-8 counts as one U+FFFD per bad sequence.
[[nodiscard]] std::int64_t characterCount(std::string_view utf8);

// The upper-cased text split into characters, each given as its Unicode scalars.
[[nodiscard]] std::vector<std::u32string> upperCasedCharacters(std::string_view utf8);

}  // namespace marlowick::LabelText
