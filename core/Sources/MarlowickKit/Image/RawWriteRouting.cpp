#include "Image/RawWriteRouting.hpp"

#include "Diagnostics/CaseDescription.hpp"
#include "Image/RawWriteMessages.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace marlowick::RawWriteRouting {
namespace {

constexpr std::array<std::string_view, 2> compressionSuffixes{".gz", ".xz"};
constexpr std::string_view rawImageSuffix = ".img";

// White space and newlines: the space, line and paragraph separators, the ASCII controls
// tab to carriage return, and NEL.
bool isBlank(UChar32 c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
    const auto type = u_charType(c);
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

// ICU's UTF-8 stepping macros cast in C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::string_view trimmed(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t start = 0;
    while (start < length) {
        std::int32_t next = start;
        UChar32 c = 0;
        U8_NEXT(bytes, next, length, c);
        if (!isBlank(c)) break;
        start = next;
    }
    std::int32_t end = length;
    while (end > start) {
        std::int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(bytes, start, previous, c);
        if (!isBlank(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}
#pragma GCC diagnostic pop

// Only ASCII letters matter: every suffix compared here is ASCII.
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char s, char t) { return s == std::tolower(static_cast<unsigned char>(t)); });
}

struct RefusalRenderer {
    std::string operator()(const RefusalReason::Unreadable& u) const {
        return CaseDescription("unreadable").field("detail", u.detail).str();
    }
    std::string operator()(const RefusalReason::NotADiskImage&) const { return "notADiskImage"; }
};

struct VerdictRenderer {
    std::string operator()(const Verdict::RawWrite& w) const {
        return CaseDescription("rawWrite").rawField("bootability", render(w.bootability)).str();
    }
    std::string operator()(const Verdict::Refuse& r) const {
        return CaseDescription("refuse").rawField("reason", render(r.reason)).str();
    }
    std::string operator()(const Verdict::UseMultiboot&) const { return "useMultiboot"; }
};

Verdict rawWrite(Bootability bootability) { return Verdict{Verdict::RawWrite{bootability}}; }

}  // namespace

bool namesRawImage(std::string_view name) {
    std::string_view stem = trimmed(name);
    for (std::string_view suffix : compressionSuffixes) {
        if (endsWithIgnoringCase(stem, suffix)) {
            stem.remove_suffix(suffix.size());
            break;
        }
    }
    return endsWithIgnoringCase(trimmed(stem), rawImageSuffix);
}

Verdict route(std::string_view name, const IsoInspection& inspection, IsoUefiBoot uefiBoot) {
    if (const auto* failure = std::get_if<IsoInspection::Unreadable>(&inspection.value)) {
        return Verdict{Verdict::Refuse{RefusalReason{RefusalReason::Unreadable{failure->detail}}}};
    }
    if (std::holds_alternative<IsoInspection::PlainIso9660>(inspection.value)) return Verdict{Verdict::UseMultiboot{}};
    if (std::holds_alternative<IsoInspection::NotIso9660>(inspection.value)) {
        if (namesRawImage(name)) return rawWrite(Bootability::unverified);
        return Verdict{Verdict::Refuse{RefusalReason{RefusalReason::NotADiskImage{}}}};
    }
    switch (uefiBoot) {
        case IsoUefiBoot::present: return rawWrite(Bootability::biosAndUefi);
        case IsoUefiBoot::none: return rawWrite(Bootability::biosOnly);
        case IsoUefiBoot::unknown: break;
    }
    return rawWrite(Bootability::uefiUnconfirmed);
}

Verdict route(std::string_view name, const IsoHeader& header) { return route(name, header.inspection, header.uefiBoot); }

std::optional<std::string> Verdict::blockedMessage(IsoBootRecord bootRecord) const {
    if (std::holds_alternative<RawWrite>(value)) return std::nullopt;
    if (const auto* refusal = std::get_if<Refuse>(&value)) {
        const bool unreadable = std::holds_alternative<RefusalReason::Unreadable>(refusal->reason.value);
        return std::string(unreadable ? RawWriteMessages::unreadable : RawWriteMessages::notADiskImage);
    }
    return std::string(bootRecord == IsoBootRecord::none ? RawWriteMessages::useMultibootWithoutBootRecord
                                                         : RawWriteMessages::useMultiboot);
}

std::optional<std::string> Verdict::bootabilityNote() const {
    const auto* write = std::get_if<RawWrite>(&value);
    if (write == nullptr) return std::nullopt;
    switch (write->bootability) {
        case Bootability::biosAndUefi: return std::string(RawWriteMessages::bootsOnBiosAndUefi);
        case Bootability::biosOnly: return std::nullopt;
        case Bootability::uefiUnconfirmed: return std::string(RawWriteMessages::uefiUnconfirmed);
        case Bootability::unverified: break;
    }
    return std::string(RawWriteMessages::unverified);
}

std::string_view render(Bootability bootability) {
    switch (bootability) {
        case Bootability::biosAndUefi: return "biosAndUefi";
        case Bootability::biosOnly: return "biosOnly";
        case Bootability::uefiUnconfirmed: return "uefiUnconfirmed";
        case Bootability::unverified: break;
    }
    return "unverified";
}

std::string render(const RefusalReason& reason) { return std::visit(RefusalRenderer{}, reason.value); }
std::string render(const Verdict& verdict) { return std::visit(VerdictRenderer{}, verdict.value); }
void PrintTo(Bootability bootability, std::ostream* os) { *os << render(bootability); }
void PrintTo(const Verdict& verdict, std::ostream* os) { *os << render(verdict); }

}  // namespace marlowick::RawWriteRouting
