#include "Install/VentoyInstallResult.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyInstallResult::Completed& r) const {
        return CaseDescription("completed").rawField("report", render(r.report)).str();
    }
    std::string operator()(const VentoyInstallResult::Aborted& r) const {
        return CaseDescription("aborted").field("reason", r.reason).str();
    }
};

}  // namespace

std::string render(const VentoyInstallResult& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const VentoyInstallResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
