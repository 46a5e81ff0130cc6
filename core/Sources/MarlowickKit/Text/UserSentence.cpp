#include "Text/UserSentence.hpp"

namespace marlowick {
namespace {

bool endsASentence(std::string_view text) {
    return !text.empty() && (text.back() == '.' || text.back() == '!' || text.back() == '?');
}

// `text` without a last " (…)" that follows the end of a sentence.
std::string_view withoutTechnicalReason(std::string_view text) {
    if (text.empty() || text.back() != ')') return text;
    int depth = 0;
    for (std::size_t index = text.size(); index-- > 0;) {
        if (text[index] == ')') ++depth;
        if (text[index] == '(' && --depth == 0) {
            if (index < 2 || text[index - 1] != ' ') return text;
            const std::string_view sentence = text.substr(0, index - 1);
            return endsASentence(sentence) ? sentence : text;
        }
    }
    return text;
}

}  // namespace

std::optional<std::string> userSentence(std::string_view text) {
    const std::string_view sentence = withoutTechnicalReason(text);
    if (sentence.empty() || sentence.front() < 'A' || sentence.front() > 'Z' || !endsASentence(sentence)) {
        return std::nullopt;
    }
    return std::string(sentence);
}

}  // namespace marlowick
