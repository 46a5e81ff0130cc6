#include "Image/IsoHeader.hpp"

#include "Text/CaseDescription.hpp"
#include "Text/RawValueTable.hpp"

namespace marlowick {
namespace {

struct InspectionRenderer {
    std::string operator()(const IsoInspection::Unreadable& u) const {
        return CaseDescription("unreadable").field("detail", u.detail).str();
    }
    std::string operator()(const IsoInspection::Isohybrid&) const { return "isohybrid"; }
    std::string operator()(const IsoInspection::PlainIso9660&) const { return "plainIso9660"; }
    std::string operator()(const IsoInspection::NotIso9660&) const { return "notIso9660"; }
};

constexpr RawValueTable<IsoBootRecord, 3> bootRecordTexts{{"elTorito", "none", "unknown"}};
constexpr RawValueTable<IsoUefiBoot, 3> uefiBootTexts{{"present", "none", "unknown"}};

}  // namespace

IsoHeader IsoHeader::unreadable(std::string detail) {
    return IsoHeader{IsoInspection{IsoInspection::Unreadable{std::move(detail)}}, std::nullopt,
                     IsoBootRecord::unknown, IsoUefiBoot::unknown};
}

IsoHeader IsoHeader::notIso9660() {
    return IsoHeader{IsoInspection{IsoInspection::NotIso9660{}}, std::nullopt, IsoBootRecord::unknown,
                     IsoUefiBoot::unknown};
}

std::string render(const IsoInspection& inspection) { return std::visit(InspectionRenderer{}, inspection.value); }

std::string_view render(IsoBootRecord bootRecord) { return bootRecordTexts.text(bootRecord); }
std::string_view render(IsoUefiBoot uefiBoot) { return uefiBootTexts.text(uefiBoot); }

std::string render(const IsoHeader& header) {
    CaseDescription described("isoHeader");
    described.rawField("inspection", render(header.inspection));
    if (header.declaredBytes) described.field("declaredBytes", *header.declaredBytes);
    return described.rawField("bootRecord", render(header.bootRecord)).rawField("uefiBoot", render(header.uefiBoot)).str();
}

void PrintTo(const IsoInspection& inspection, std::ostream* os) { *os << render(inspection); }
void PrintTo(IsoBootRecord bootRecord, std::ostream* os) { *os << render(bootRecord); }
void PrintTo(IsoUefiBoot uefiBoot, std::ostream* os) { *os << render(uefiBoot); }
void PrintTo(const IsoHeader& header, std::ostream* os) { *os << render(header); }

}  // namespace marlowick
