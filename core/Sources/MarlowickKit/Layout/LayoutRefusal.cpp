#include "Layout/LayoutRefusal.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick::LayoutRefusal {

std::string render(const DiskTooSmall& refusal) {
    return CaseDescription("diskTooSmall")
        .field("diskSectorCount", refusal.diskSectorCount)
        .field("minimum", refusal.minimum)
        .str();
}

std::string render(const DiskTooLargeForMbr& refusal) {
    return CaseDescription("diskTooLargeForMbr")
        .field("diskSectorCount", refusal.diskSectorCount)
        .field("maxAddressableSectors", refusal.maxAddressableSectors)
        .str();
}

void PrintTo(const DiskTooSmall& refusal, std::ostream* os) { *os << render(refusal); }
void PrintTo(const DiskTooLargeForMbr& refusal, std::ostream* os) { *os << render(refusal); }

}  // namespace marlowick::LayoutRefusal
