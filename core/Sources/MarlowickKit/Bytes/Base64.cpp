#include "Bytes/Base64.hpp"

namespace marlowick::Base64 {
namespace {

constexpr int notInAlphabet = -1;

constexpr int sextet(char character) {
    if (character >= 'A' && character <= 'Z') return character - 'A';
    if (character >= 'a' && character <= 'z') return character - 'a' + 26;
    if (character >= '0' && character <= '9') return character - '0' + 52;
    if (character == '+') return 62;
    if (character == '/') return 63;
    return notInAlphabet;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    const std::string_view body = text.substr(0, text.size() - padding);

    std::vector<std::uint8_t> bytes;
    bytes.reserve(body.size() * 3 / 4);
    std::uint32_t pending = 0;
    int pendingBits = 0;
    for (const char character : body) {
        const int value = sextet(character);
        if (value == notInAlphabet) return std::nullopt;  // also a third "=" or one in the middle
        pending = (pending << 6) | static_cast<std::uint32_t>(value);
        pendingBits += 6;
        if (pendingBits >= 8) {
            pendingBits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(pending >> pendingBits));
            pending &= (1U << pendingBits) - 1;
        }
    }
    // One character alone in the last group cannot carry a byte; leftover bits are padding.
    if (pendingBits >= 6 || pending != 0) return std::nullopt;
    return bytes;
}

}  // namespace marlowick::Base64
