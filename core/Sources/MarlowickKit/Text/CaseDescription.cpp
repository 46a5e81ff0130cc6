#include "Text/CaseDescription.hpp"

namespace marlowick {

CaseDescription::CaseDescription(std::string_view caseName) : described(caseName) {}

void CaseDescription::separate() {
    described += hasPayload ? ", " : "(";
    hasPayload = true;
}

CaseDescription& CaseDescription::field(std::string_view label, std::string_view value) {
    return rawField(label, quoted(value));
}

CaseDescription& CaseDescription::field(std::string_view label, bool flag) {
    return rawField(label, flag ? "true" : "false");
}

CaseDescription& CaseDescription::rawField(std::string_view label, std::string_view rendered) {
    separate();
    described.append(label).append(": ").append(rendered);
    return *this;
}

CaseDescription& CaseDescription::value(std::string_view value) { return rawValue(quoted(value)); }

CaseDescription& CaseDescription::rawValue(std::string_view rendered) {
    separate();
    described.append(rendered);
    return *this;
}

std::string CaseDescription::str() const { return hasPayload ? described + ")" : described; }

std::string CaseDescription::quoted(std::string_view value) {
    static constexpr char hexDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : value) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u{";
                out += hexDigits[(static_cast<unsigned char>(c) >> 4) & 0xF];
                out += hexDigits[static_cast<unsigned char>(c) & 0xF];
                out += "}";
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

}  // namespace marlowick
