#pragma once
// Byte counts as the user reads them: file sizes in decimal units ("4.7 GB", "512 bytes",
// "Zero KB") and exact counts with the locale's digit grouping ("4,700,000,000 bytes").
// Unit names are English, like every other user text; numbers follow the locale.
//
// File sizes: below 1000 bytes the count itself ("1 byte", "999 bytes"); above, the largest
// unit (KB, MB, GB, TB, PB, EB: powers of 1000) that is at least 1, shown with 0 (KB),
// 1 (MB) or 2 (GB and up) fraction digits, rounded half to even, trailing zeros dropped.
// A value that rounds up to 1000 of its unit moves to the next one ("1 MB", not "1000 KB").

#include <cstdint>
#include <string>
#include <string_view>

namespace marlowick::ByteCountText {

// `locale` is an ICU locale name such as "en_US" or "de_DE"; empty means the user's own
// (from LC_ALL, LC_NUMERIC or LANG).
[[nodiscard]] std::string fileSize(std::int64_t bytes, std::string_view locale = {});
[[nodiscard]] std::string exactBytes(std::int64_t bytes, std::string_view locale = {});

}  // namespace marlowick::ByteCountText
