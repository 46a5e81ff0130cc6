#include "LegalMarkdown.hpp"

#include <gtest/gtest.h>

#include <set>

namespace marlowick {
namespace {

using Kind = LegalMarkdownBlock::Kind;
using Blocks = std::vector<LegalMarkdownBlock>;

LegalMarkdownBlock title(std::string text) { return {Kind::title, std::move(text)}; }
LegalMarkdownBlock heading(std::string text) { return {Kind::heading, std::move(text)}; }
LegalMarkdownBlock paragraph(std::string text) { return {Kind::paragraph, std::move(text)}; }
LegalMarkdownBlock bullet(std::string text) { return {Kind::bullet, std::move(text)}; }
LegalMarkdownBlock verbatim(std::string text) { return {Kind::verbatim, std::move(text)}; }
LegalMarkdownBlock rule() { return {Kind::rule, {}}; }

struct ReaderCase {
    const char* name;
    std::string text;
    Blocks expected;
};

class LegalMarkdownReads : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(LegalMarkdownReads, TheBlocksInOrder) {
    EXPECT_EQ(LegalMarkdown::blocks(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, LegalMarkdownReads,
    ::testing::Values(
        ReaderCase{"tenLines", "# A\n## B\nx\ny\n\n- one\n  two\n- three\n---\nz",
                   {title("A"), heading("B"), paragraph("x y"), bullet("one two"), bullet("three"), rule(),
                    paragraph("z")}},
        ReaderCase{"paragraphThenBullet", "text\n- item\nmore", {paragraph("text"), bullet("item more")}},
        ReaderCase{"fenceWithLanguage", "```text\n  keep  spaces\n# not a title\n```\nafter",
                   {verbatim("  keep  spaces\n# not a title"), paragraph("after")}},
        ReaderCase{"indentedFenceIsText", "  ```\nline", {paragraph("``` line")}},
        ReaderCase{"emptyFence", "```\n```", {verbatim("")}},
        ReaderCase{"unclosedFenceDropsTrailingBlanks", "```\ncode\n  \n\n", {verbatim("code")}},
        ReaderCase{"unclosedBlankFence", "para\n```\n \n\t", {paragraph("para")}},
        ReaderCase{"notRulesNorHeadings", "----\n\n- - -\n\n###\n\nword",
                   {paragraph("----"), bullet("- -"), paragraph("###"), paragraph("word")}},
        ReaderCase{"threeHashesAndAWord", "### word", {paragraph("### word")}},
        ReaderCase{"asteriskIsNotABullet", "* item", {paragraph("* item")}},
        ReaderCase{"bulletDropsTheBlanksAfterItsMarker", "-  # Heading\n-   1. one",
                   {bullet("# Heading"), bullet("1. one")}},
        ReaderCase{"headingKeepsFurtherSpaces", "##  spaced\n#   title", {heading(" spaced"), title("  title")}},
        ReaderCase{"indentedHeadingAndRule", "   ## H\n\t***", {heading("H"), rule()}},
        ReaderCase{"crlfSplitsEveryLine", "# T\r\nline one\r\nline two\r\n- a\r\n- b\r\n```\r\nx\r\ny\r\n```\r\n",
                   {title("T"), paragraph("line one"), paragraph("line two"), bullet("a"), bullet("b"),
                    verbatim("\nx\n\ny\n")}},
        ReaderCase{"unicodeNewlinesAndSpaces",
                   "first\u2028second\u00a0\u2003\u0085third\u2029\u3000- b\u00a0",
                   {paragraph("first second third"), bullet("b")}},
        ReaderCase{"empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LegalMarkdown, IdentitiesFollowTheKindAndTheFirst64Characters) {
    const std::string long64(64, 'a');
    EXPECT_EQ(title("A title").id(), "t:A title");
    EXPECT_EQ(heading(long64 + "bc").id(), "h:" + long64 + "bc");
    EXPECT_EQ(paragraph(long64 + "bc").id(), "p:" + long64);
    EXPECT_EQ(bullet("short").id(), "b:short");
    // A character is what a reader sees: an accent stays with its letter.
    std::string accented;
    for (int i = 0; i < 64; ++i) accented += "e\u0301";
    EXPECT_EQ(verbatim(accented + "tail").id(), "v:" + accented);
    // Rules compare equal but get a fresh identity at every read.
    std::set<std::string> ids;
    for (int i = 0; i < 50; ++i) ids.insert(rule().id());
    EXPECT_EQ(ids.size(), 50u);
    EXPECT_EQ(ids.begin()->rfind("r:", 0), 0u);
    EXPECT_EQ(ids.begin()->size(), 2u + 36u);
    EXPECT_EQ(rule(), rule());
    EXPECT_NE(paragraph("x"), bullet("x"));
}

TEST(LegalMarkdown, InlineTextNeverOpensABlockWhenRendered) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"### word", "\\### word"}, {"#hashtag", "#hashtag"}, {"> quoted", "\\> quoted"},
        {"- -", "\\- -"}, {"* item", "\\* item"}, {"+ item", "\\+ item"}, {"___", "\\___"},
        {"* * *", "\\* * *"}, {"```code", "\\```code"}, {"1. first", "1\\. first"},
        {"12) twelfth", "12\\) twelfth"}, {"2024 was", "2024 was"}, {"3.5 percent", "3.5 percent"},
        {"**bold** and [a link](https://example.org)", "**bold** and [a link](https://example.org)"},
        {"-flag", "-flag"}, {"", ""}, {"  # x", "\\# x"}, {"\t> quoted", "\\> quoted"}, {"    code", "code"},
        {"   ", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(LegalMarkdown::inlineOnly(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace marlowick
