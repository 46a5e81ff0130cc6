// Volume paths: parsing, the storable-name rule, and walking up and down.
#include <gtest/gtest.h>

#include <unordered_set>

#include "Files/VolumePath.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

struct ParseCase {
    const char* name;
    std::string text;
    std::optional<std::vector<std::string>> components;
};

class VolumePathParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(VolumePathParse, GivesTheComponentsOrNothing) {
    const ParseCase& c = GetParam();
    const std::optional<VolumePath> parsed = VolumePath::parse(c.text);
    if (!c.components) {
        EXPECT_FALSE(parsed) << parsed->string();
        return;
    }
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->components, *c.components);
    EXPECT_EQ(parsed->string(), c.text);
}

const std::string name255(255, 'a');
const std::string name256(256, 'a');

INSTANTIATE_TEST_SUITE_P(
    Texts, VolumePathParse,
    ::testing::Values(ParseCase{"root", "/", std::vector<std::string>{}},
                      ParseCase{"oneComponent", "/a.iso", std::vector<std::string>{"a.iso"}},
                      ParseCase{"nested", "/iso/linux/a b.iso", std::vector<std::string>{"iso", "linux", "a b.iso"}},
                      ParseCase{"longestName", "/" + name255, std::vector<std::string>{name255}},
                      ParseCase{"delIsStorable", "/a\x7f", std::vector<std::string>{"a\x7f"}},
                      ParseCase{"empty", "", std::nullopt},
                      ParseCase{"noLeadingSlash", "a/b", std::nullopt},
                      ParseCase{"trailingSlash", "/a/", std::nullopt},
                      ParseCase{"doubleSlash", "/a//b", std::nullopt},
                      ParseCase{"dotDot", "/a/../b", std::nullopt},
                      ParseCase{"dot", "/./a", std::nullopt},
                      ParseCase{"nameTooLong", "/" + name256, std::nullopt},
                      ParseCase{"colon", "/a:b", std::nullopt},
                      ParseCase{"questionMark", "/a?", std::nullopt},
                      ParseCase{"tab", "/a\tb", std::nullopt},
                      ParseCase{"backslash", "/a\\b", std::nullopt},
                      ParseCase{"notUtf8", "/a\xff", std::nullopt}),
    test::CaseName{});

TEST(VolumePath, StorableNamesCountUtf16Units) {
    // "€" is one UTF-16 unit in three UTF-8 bytes, "𝄞" two units in four bytes.
    std::string euros;
    for (int i = 0; i < 255; ++i) euros += "€";
    EXPECT_TRUE(VolumePath::isStorable(euros));
    std::string clefs;
    for (int i = 0; i < 128; ++i) clefs += "𝄞";
    EXPECT_FALSE(VolumePath::isStorable(clefs));
    for (const char* bad : {"\"", "*", "/", ":", "<", ">", "?", "\\", "|", "\x01", "\x1f"}) {
        EXPECT_FALSE(VolumePath::isStorable(std::string("a") + bad)) << bad;
    }
}

TEST(VolumePath, WalksUpAndDown) {
    const VolumePath root = VolumePath::root;
    EXPECT_TRUE(root.isRoot());
    EXPECT_EQ(root.string(), "/");
    EXPECT_FALSE(root.parent());
    EXPECT_FALSE(root.name());

    const std::optional<VolumePath> iso = root.appending("iso");
    ASSERT_TRUE(iso);
    EXPECT_EQ(iso->parent(), root);
    EXPECT_EQ(iso->name(), "iso");
    const std::optional<VolumePath> file = iso->appending("a.iso");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->string(), "/iso/a.iso");
    EXPECT_EQ(file->parent(), iso);
    EXPECT_FALSE(iso->appending(".."));
    EXPECT_FALSE(iso->appending("a/b"));

    const std::unordered_set<VolumePath> set{*file, *VolumePath::parse("/iso/a.iso"), *iso, root};
    EXPECT_EQ(set.size(), 3u);
}

}  // namespace
}  // namespace marlowick
