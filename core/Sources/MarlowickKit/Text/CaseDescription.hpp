#pragma once
// The one textual form of every error value that lands in a note, a log line or a
// diagnostic: the case name, then its payload in parentheses as "label: value"
// pairs separated by ", ", texts in double quotes, numbers in plain decimal.
//
//   CaseDescription("outOfBounds").field("startSector", 8).field("sectorCount", 4).str()
//     == "outOfBounds(startSector: 8, sectorCount: 4)"
//   CaseDescription("closed").field("operation", "read").str() == "closed(operation: \"read\")"
//   CaseDescription("startLbaOutOf32BitRange").value(4294967296).str() == "startLbaOutOf32BitRange(4294967296)"
//   CaseDescription("success").str() == "success"
//   CaseDescription("step").field("ok", std::optional<bool>{}).str() == "step(ok: none)"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marlowick {

class CaseDescription {
public:
    explicit CaseDescription(std::string_view caseName);

    // Labelled payload values.
    CaseDescription& field(std::string_view label, std::string_view value);
    CaseDescription& field(std::string_view label, const char* text) { return field(label, std::string_view(text)); }
    CaseDescription& field(std::string_view label, const std::string& text) { return field(label, std::string_view(text)); }
    CaseDescription& field(std::string_view label, bool flag);
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    CaseDescription& field(std::string_view label, T number) {
        return rawField(label, std::to_string(number));
    }
    // An absent value reads "none"; a present one as its plain field would.
    template <class T>
    CaseDescription& field(std::string_view label, const std::optional<T>& value) {
        if (!value) return rawField(label, "none");
        return field(label, *value);
    }
    // A value that is already in its textual form (a nested case, a list), placed unquoted.
    CaseDescription& rawField(std::string_view label, std::string_view rendered);

    // Unlabelled payload values.
    CaseDescription& value(std::string_view value);
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    CaseDescription& value(T number) {
        return rawValue(std::to_string(number));
    }
    CaseDescription& rawValue(std::string_view rendered);

    [[nodiscard]] std::string str() const;

    // A text as it appears inside a description: double-quoted, with \ " and control characters escaped.
    [[nodiscard]] static std::string quoted(std::string_view value);

private:
    void separate();

    std::string described;
    bool hasPayload = false;
};

}  // namespace marlowick
