#include "Detect/VentoyDetectionResult.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyDetectionResult::Detected& r) const {
        return CaseDescription("detected").rawField("status", render(r.status)).str();
    }
    std::string operator()(const VentoyDetectionResult::ReadFailed& r) const {
        return CaseDescription("readFailed").rawField("error", render(r.error)).str();
    }
};

}  // namespace

std::string render(const VentoyDetectionResult& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const VentoyDetectionResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
