#include "Detect/VentoyVersionResult.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyVersionResult::Found& r) const {
        return CaseDescription("found").field("version", r.version).str();
    }
    std::string operator()(const VentoyVersionResult::ReadFailed& r) const {
        return CaseDescription("readFailed").rawField("error", render(r.error)).str();
    }
    std::string operator()(const VentoyVersionResult::NotFound&) const { return CaseDescription("notFound").str(); }
};

}  // namespace

std::string render(const VentoyVersionResult& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const VentoyVersionResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
