#include "Detect/VentoyDriveStatus.hpp"

#include "Text/CaseDescription.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyDriveStatus::NotVentoy& s) const {
        return CaseDescription("notVentoy").field("reason", s.reason).str();
    }
    std::string operator()(const VentoyDriveStatus::Ventoy& s) const {
        return CaseDescription("ventoy").rawField("layout", render(s.layout)).str();
    }
    std::string operator()(const VentoyDriveStatus::IncompatibleVentoy& s) const {
        return CaseDescription("incompatibleVentoy").field("reason", s.reason).str();
    }
};

}  // namespace

std::string render(const VentoyDriveStatus& status) { return std::visit(Renderer{}, status.value); }

void PrintTo(const VentoyDriveStatus& status, std::ostream* os) { *os << render(status); }

}  // namespace marlowick
