#pragma once
// Checks a worked wire example both ways: the text decodes to the value, and the value
// encodes to JSON equal to the text (compared parsed, so key order and escaped slashes
// carry no meaning).

#include <gtest/gtest.h>

#include <string_view>

#include "HelperWire/JsonCoding.hpp"

namespace marlowick::test {

template <class T>
void expectWireRoundTrip(std::string_view text, const T& value) {
    SCOPED_TRACE(std::string(text));
    const auto decoded = tryDecodeJson<T>(text);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, value);
    const auto encoded = encodeJson(value);
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(nlohmann::json::parse(*encoded), nlohmann::json::parse(text));
}

}  // namespace marlowick::test
