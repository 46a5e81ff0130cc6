#include "Bytes/Base64.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

std::optional<std::string> decodedText(std::string_view text) {
    const auto bytes = Base64::decode(text);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

TEST(Base64, DecodesTheStandardVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},         {"Zg==", "f"},         {"Zm8=", "fo"},         {"Zm9v", "foo"},
        {"Zm9vYg==", "foob"}, {"Zm9vYmE=", "fooba"}, {"Zm9vYmFy", "foobar"}, {"+/+/", "\xfb\xff\xbf"},
    };
    for (const auto& [text, bytes] : vectors) EXPECT_EQ(decodedText(text), std::string(bytes)) << text;
}

TEST(Base64, RefusesAnythingButTheCanonicalText) {
    for (const char* text : {"Zg=", "Zg", "Zm9vY", "Zh==", "Zm9=", "Z===", "====", "=Zm9", "Zg==Zg==", "Zm9v\n",
                             " Zm9v", "Zm 9v", "Zm-v", "Zm_v"}) {
        EXPECT_EQ(decodedText(text), std::nullopt) << text;
    }
    EXPECT_EQ(decodedText(std::string_view("Zm9\0", 4)), std::nullopt);
}

}  // namespace
}  // namespace marlowick
