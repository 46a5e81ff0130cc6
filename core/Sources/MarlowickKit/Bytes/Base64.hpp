#pragma once
// Standard base64 (RFC 4648 alphabet with "+" and "/"), decoded strictly: the text must
// be whole groups of four characters, with "=" padding only at the very end, and no
// white space, line breaks or other characters anywhere. Key material is read through
// this, so anything looser than the canonical form is refused rather than guessed at.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace marlowick::Base64 {

// The decoded bytes, or nullopt when the text is not canonical base64. Bits left over
// in the last group must be zero, so every byte string has exactly one accepted text.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

}  // namespace marlowick::Base64
