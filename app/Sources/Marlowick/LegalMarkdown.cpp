#include "LegalMarkdown.hpp"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <ostream>
#include <random>

namespace marlowick {
namespace {

using Kind = LegalMarkdownBlock::Kind;

constexpr std::string_view fence = "```";

// The code point at `offset` and its length in bytes; a malformed byte is itself.
std::pair<UChar32, std::size_t> codePointAt(std::string_view text, std::size_t offset) {
    std::int32_t index = static_cast<std::int32_t>(offset);
    UChar32 c = 0;
    U8_NEXT(reinterpret_cast<const std::uint8_t*>(text.data()), index, static_cast<std::int32_t>(text.size()), c);
    return {c, static_cast<std::size_t>(index) - offset};
}

// Line feed, vertical tab, form feed, carriage return, NEL, line and paragraph separator.
bool isNewline(UChar32 c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

// Tab and the space separators.
bool isSpace(UChar32 c) { return c == 0x09 || (c >= 0 && u_charType(c) == U_SPACE_SEPARATOR); }

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t offset = 0;
    while (offset < text.size()) {
        const auto [c, length] = codePointAt(text, offset);
        if (isNewline(c)) {
            lines.push_back(text.substr(start, offset - start));
            start = offset + length;
        }
        offset += length;
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string_view trimmed(std::string_view line) {
    std::size_t begin = 0;
    while (begin < line.size()) {
        const auto [c, length] = codePointAt(line, begin);
        if (!isSpace(c)) break;
        begin += length;
    }
    // Walk forwards and remember where the last non-space ended.
    std::size_t end = begin;
    for (std::size_t offset = begin; offset < line.size();) {
        const auto [c, length] = codePointAt(line, offset);
        offset += length;
        if (!isSpace(c)) end = offset;
    }
    return line.substr(begin, end - begin);
}

std::string joined(const std::vector<std::string>& lines, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += separator;
        text += lines[i];
    }
    return text;
}

// The first `count` user-perceived characters (grapheme clusters).
std::string firstCharacters(const std::string& text, int count) {
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return text;
    breaks->setText(unicode);
    std::int32_t end = breaks->first();
    for (int i = 0; i < count; ++i) {
        const std::int32_t next = breaks->next();
        if (next == icu::BreakIterator::DONE) break;
        end = next;
    }
    std::string prefix;
    unicode.tempSubString(0, end).toUTF8String(prefix);
    return prefix;
}

std::string randomUuid() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::array<std::uint8_t, 16> bytes{};
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

class Reader {
public:
    void read(std::string_view rawLine) {
        if (openFence) {
            if (rawLine.starts_with(fence)) {
                output.push_back({Kind::verbatim, joined(*openFence, "\n")});
                openFence.reset();
            } else {
                openFence->emplace_back(rawLine);
            }
            return;
        }
        if (rawLine.starts_with(fence)) {
            flush();
            openFence.emplace();
            return;
        }
        const std::string_view line = trimmed(rawLine);
        if (line.empty()) {
            flush();
        } else if (line.starts_with("## ")) {
            flush();
            output.push_back({Kind::heading, std::string(line.substr(3))});
        } else if (line.starts_with("# ")) {
            flush();
            output.push_back({Kind::title, std::string(line.substr(2))});
        } else if (line == "---" || line == "***") {
            flush();
            output.push_back({Kind::rule, {}});
        } else if (line.starts_with("- ")) {
            flush();
            // The blanks after the marker only separate it from the text: kept, they would
            // hide a marker at the text's start ("-  # x") from inlineOnly.
            bulletLines.emplace_back(trimmed(line.substr(2)));
        } else if (!bulletLines.empty()) {
            bulletLines.emplace_back(line);
        } else {
            paragraphLines.emplace_back(line);
        }
    }

    std::vector<LegalMarkdownBlock> finish() {
        if (openFence) {
            while (!openFence->empty() && trimmed(openFence->back()).empty()) openFence->pop_back();
            if (!openFence->empty()) output.push_back({Kind::verbatim, joined(*openFence, "\n")});
            openFence.reset();
        }
        flush();
        return std::move(output);
    }

private:
    void flush() {
        if (!bulletLines.empty()) {
            output.push_back({Kind::bullet, joined(bulletLines, " ")});
            bulletLines.clear();
        }
        if (!paragraphLines.empty()) {
            output.push_back({Kind::paragraph, joined(paragraphLines, " ")});
            paragraphLines.clear();
        }
    }

    std::vector<LegalMarkdownBlock> output;
    std::vector<std::string> bulletLines;
    std::vector<std::string> paragraphLines;
    std::optional<std::vector<std::string>> openFence;
};

}  // namespace

std::string LegalMarkdownBlock::id() const {
    switch (kind) {
        case Kind::title: return "t:" + text;
        case Kind::heading: return "h:" + text;
        case Kind::paragraph: return "p:" + firstCharacters(text, 64);
        case Kind::bullet: return "b:" + firstCharacters(text, 64);
        case Kind::verbatim: return "v:" + firstCharacters(text, 64);
        case Kind::rule: return "r:" + randomUuid();
    }
    return {};
}

std::vector<LegalMarkdownBlock> LegalMarkdown::blocks(std::string_view text) {
    Reader reader;
    for (std::string_view line : splitLines(text)) reader.read(line);
    return reader.finish();
}

std::string LegalMarkdown::inlineOnly(std::string_view text) {
    // Leading blanks mean nothing inline, but before a marker they still open its block,
    // and four of them an indented code block.
    std::string value(text.substr(std::min(text.find_first_not_of(" \t"), text.size())));
    if (value.empty()) return value;
    const auto spaceAt = [&value](std::size_t index) {
        return index >= value.size() || value[index] == ' ' || value[index] == '\t';
    };
    const char first = value.front();
    bool opensBlock = first == '>' || value.starts_with("```") || value.starts_with("~~~");
    if (first == '#') {
        std::size_t hashes = 0;
        while (hashes < value.size() && value[hashes] == '#') ++hashes;
        opensBlock = hashes <= 6 && spaceAt(hashes);
    }
    if ((first == '-' || first == '+' || first == '*') && spaceAt(1)) opensBlock = true;
    if (first == '-' || first == '*' || first == '_') {
        // A thematic break: three or more of one of these, blanks between allowed.
        std::size_t marks = 0;
        bool onlyMarks = true;
        for (char c : value) {
            if (c == first) ++marks;
            else if (c != ' ' && c != '\t') onlyMarks = false;
        }
        if (onlyMarks && marks >= 3) opensBlock = true;
    }
    if (opensBlock) return "\\" + value;
    // "1. " or "1) " opens an ordered list.
    std::size_t digits = 0;
    while (digits < value.size() && digits < 9 && value[digits] >= '0' && value[digits] <= '9') ++digits;
    if (digits > 0 && digits < value.size() && (value[digits] == '.' || value[digits] == ')') && spaceAt(digits + 1)) {
        value.insert(digits, "\\");
    }
    return value;
}

void PrintTo(const LegalMarkdownBlock& block, std::ostream* out) {
    static constexpr const char* names[] = {"title", "heading", "paragraph", "bullet", "verbatim", "rule"};
    *out << names[static_cast<int>(block.kind)] << "(\"" << block.text << "\")";
}

}  // namespace marlowick
