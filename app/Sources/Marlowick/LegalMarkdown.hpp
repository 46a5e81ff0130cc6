#pragma once
// The small line-based Markdown reader of the legal documents: titles ("# "), headings
// ("## "), paragraphs, bullets ("- "), fenced verbatim text (``` at the start of a line)
// and rules ("---", "***"). Lines of a paragraph or a bullet are joined with one space,
// verbatim lines with line feeds. Inline emphasis and links stay in the texts; the view
// renders them. Pure functions over UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace marlowick {

struct LegalMarkdownBlock {
    enum class Kind { title, heading, paragraph, bullet, verbatim, rule };
    Kind kind;
    std::string text;  // empty for a rule

    // Rules are all alike; other blocks compare kind and text.
    bool operator==(const LegalMarkdownBlock& other) const {
        return kind == other.kind && (kind == Kind::rule || text == other.text);
    }

    // A row identity: "t:"/"h:" and the whole text, "p:"/"b:"/"v:" and its first 64
    // characters, "r:" and a fresh random UUID. Not unique: two paragraphs that begin
    // alike share one.
    [[nodiscard]] std::string id() const;
};

namespace LegalMarkdown {

// Every newline character ends a line (a CR LF pair leaves an empty line between).
[[nodiscard]] std::vector<LegalMarkdownBlock> blocks(std::string_view text);

// `text` without leading blanks and with its leading Markdown block marker (a "#", ">",
// list or rule start) escaped, so that a renderer of whole Markdown documents reads it as
// inline text only.
[[nodiscard]] std::string inlineOnly(std::string_view text);

}  // namespace LegalMarkdown

void PrintTo(const LegalMarkdownBlock& block, std::ostream* out);

}  // namespace marlowick
