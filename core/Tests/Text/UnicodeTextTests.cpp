#include "Text/UnicodeText.hpp"

#include <gtest/gtest.h>

#include "Exfat/ExfatStructures.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

struct LengthCase {
    const char* name;
    std::string text;
    std::int64_t units;
    bool blank;
};
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

const LengthCase lengthCases[] = {
    {"empty", "", 0, true},
    {"ascii", "VENTOY", 6, false},
    {"twoByteLetters", "\u00e9\u00e9", 2, false},
    {"threeByteIdeograph", "\u6f22", 1, false},
    {"astralNeedsASurrogatePair", "\U0001F600", 2, false},
    {"spacesAndLineEnds", " \t\r\n\u00a0\u2029", 6, true},
    {"spaceAroundText", "  a  ", 5, false},
    // Malformed bytes stay content and count as one replacement unit each, never a crash.
    {"loneContinuationByte", "\x80", 1, false},
    {"truncatedSequenceAfterSpace", " \xE6\xBC", 2, false},
    {"overlongSlash", "\xC0\xAF", 2, false},
    {"embeddedNul", std::string("a\0b", 3), 3, false},
};

class UnicodeTextMeasures : public ::testing::TestWithParam<LengthCase> {};

TEST_P(UnicodeTextMeasures, Utf16UnitsAndBlankness) {
    const LengthCase& c = GetParam();
    EXPECT_EQ(utf16Length(c.text), c.units);
    EXPECT_EQ(isBlank(c.text), c.blank);
    // The units the exFAT label encoding stores, so a label the install options accept
    // is one the exFAT formatter accepts.
    EXPECT_EQ(utf16Length(c.text), static_cast<std::int64_t>(ExfatStructures::utf16(c.text).size()));
}

INSTANTIATE_TEST_SUITE_P(Text, UnicodeTextMeasures, ::testing::ValuesIn(lengthCases), test::CaseName{});

// The one trimmer: Unicode White_Space at either end, nothing inside, and bytes that are
// not UTF-8 stop it as content would.
TEST(UnicodeText, TrimsUnicodeWhiteSpaceAtBothEndsOnly) {
    const struct {
        std::string text;
        std::string trimmed;
    } cases[] = {
        {"", ""},
        {" \t\r\n\v\f", ""},
        {"  disk.img\n", "disk.img"},
        {"\u00a0\u2003Kingston\u3000\u2029", "Kingston"},
        {"\u0085x\u1680", "x"},
        {"a b\u00a0c", "a b\u00a0c"},
        {"\u200bx", "\u200bx"},  // a zero-width space is no White_Space
        {" \xE6\xBC ", "\xE6\xBC"},
        {"\xC2 x", "\xC2 x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(trimmedWhiteSpace(c.text), c.trimmed);
        EXPECT_EQ(isBlank(c.text), c.trimmed.empty());
    }
}

TEST(UnicodeText, TrimsWhiteSpaceAndLineEndsAtBothEndsOnly) {
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"  \t\n", ""},
        {"Rescue", "Rescue"},
        {" \u00a0Rescue Disk\u2028\r\n", "Rescue Disk"},
        {"\u3000\u6f22\u3000", "\u6f22"},
        {"a  b", "a  b"},
        {" \U0001F600 ", "\U0001F600"},
        // Trimming stops at bytes that are not UTF-8 and keeps them.
        {" \x80 ", "\x80"},
        {std::string(" a\0b ", 5), std::string("a\0b", 3)},
    };
    for (const auto& [given, trimmed] : rows) {
        EXPECT_EQ(trimmedWhiteSpace(given), trimmed) << given;
        EXPECT_EQ(isBlank(given), trimmed.empty()) << given;
    }
}

}  // namespace
}  // namespace marlowick
