#include "Fat32/Fat32Formatter.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const Fat32FormatResult::Success& s) const {
        return CaseDescription("success").rawField("layout", render(s.layout)).str();
    }
    std::string operator()(const Fat32FormatResult::Invalid& s) const {
        return CaseDescription("invalid").rawField("error", render(s.error)).str();
    }
    std::string operator()(const Fat32FormatResult::WriteFailed& s) const {
        return CaseDescription("writeFailed").field("stage", s.stage).rawField("error", render(s.error)).str();
    }
};

}  // namespace

std::string render(const Fat32FormatResult& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const Fat32FormatResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
