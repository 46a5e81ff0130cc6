#pragma once
// The line framing of the app ↔ helper pipe: one compact JSON document per line, ended by
// one 0x0A; no length prefix, header or checksum; carriage returns are not special. The
// application sends one command line, then only the cancel line may follow; the helper sends
// progress frames, then one result frame. Any wire type with a JsonCoding goes through
// encodeLine / decodeLine.

#include <optional>
#include <string>
#include <string_view>

#include "HelperWire/JsonCoding.hpp"

namespace marlowick::HelperLineCoding {

// The cancel line, without its 0x0A: exactly these 15 bytes.
inline constexpr std::string_view cancelFrame = R"({"cancel":true})";

// True only for the exact bytes: added spaces, another key order or a trailing carriage
// return do not count.
[[nodiscard]] inline bool isCancelFrame(std::string_view line) { return line == cancelFrame; }

// The document followed by 0x0A; absent when the value cannot be written (a text that is
// not UTF-8). The compact form has no raw line break: those inside strings are escaped.
template <class T>
[[nodiscard]] std::optional<std::string> encodeLine(const T& value) {
    auto text = encodeJson(value);
    if (text) text->push_back('\n');
    return text;
}

// One line without its 0x0A; absent on any decoding error.
template <class T>
[[nodiscard]] std::optional<T> decodeLine(std::string_view line) {
    return tryDecodeJson<T>(line);
}

}  // namespace marlowick::HelperLineCoding
