#pragma once
// Small measurements of UTF-8 texts that several checks share. Pure functions; bytes
// that are not valid UTF-8 are never an error here.

#include <cstdint>
#include <string>
#include <string_view>

namespace marlowick {

// True when nothing is left after trimming white space and line ends (the Unicode
// White_Space set: tab, line feed to carriage return, space, no-break space, U+0085,
// U+2028, U+2029 and the other space separators). Bytes that are not valid UTF-8 count
// as content.
[[nodiscard]] bool isBlank(std::string_view utf8);

// The text without the white space and line ends (the same set) at either end; inner
// white space and letter case are kept. Trimming stops at a byte that is not valid UTF-8.
[[nodiscard]] std::string trimmedWhiteSpace(std::string_view utf8);

// The UTF-16 code units the text takes, the unit in which volume labels are stored and
// limited: one per code point below U+10000, two above. A malformed byte sequence counts
// as one unit, the U+FFFD that replaces it.
[[nodiscard]] std::int64_t utf16Length(std::string_view utf8);

// UTF-8 with every invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string repairedUtf8(std::string_view bytes);

}  // namespace marlowick
