#include "Image/RawWriteRouting.hpp"

#include "Text/CaseDescription.hpp"
#include "Text/RawValueTable.hpp"
#include "Image/ImageCompression.hpp"
#include "Image/IsoInspector.hpp"
#include "Image/RawWriteMessages.hpp"

namespace marlowick::RawWriteRouting {
namespace {

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

constexpr RawValueTable<Bootability, 4> bootabilityTexts{{"biosAndUefi", "biosOnly", "uefiUnconfirmed", "unverified"}};

Verdict rawWrite(Bootability bootability) { return Verdict{Verdict::RawWrite{bootability}}; }

}  // namespace

Verdict route(std::string_view name, const IsoInspection& inspection, IsoUefiBoot uefiBoot) {
    if (const auto* failure = std::get_if<IsoInspection::Unreadable>(&inspection.value)) {
        return Verdict{Verdict::Refuse{RefusalReason{RefusalReason::Unreadable{failure->detail}}}};
    }
    if (std::holds_alternative<IsoInspection::PlainIso9660>(inspection.value)) return Verdict{Verdict::UseMultiboot{}};
    if (std::holds_alternative<IsoInspection::NotIso9660>(inspection.value)) {
        if (RawImageNames::isRawImage(name)) return rawWrite(Bootability::unverified);
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

Verdict route(std::string_view name, const RawImageSource& source) {
    return route(name, IsoInspector::readHeader(source));
}

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

std::string_view render(Bootability bootability) { return bootabilityTexts.text(bootability); }

std::string render(const RefusalReason& reason) { return std::visit(RefusalRenderer{}, reason.value); }
std::string render(const Verdict& verdict) { return std::visit(VerdictRenderer{}, verdict.value); }
void PrintTo(Bootability bootability, std::ostream* os) { *os << render(bootability); }
void PrintTo(const Verdict& verdict, std::ostream* os) { *os << render(verdict); }

}  // namespace marlowick::RawWriteRouting
