#pragma once
// Bytes as lower-case hexadecimal text, most significant nibble first: the form digests
// are compared and stored in, and random names are written with.

#include <cstdint>
#include <span>
#include <string>

namespace marlowick {

[[nodiscard]] inline std::string lowerHex(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

}  // namespace marlowick
