#include "Home/HomeOperationOutcome.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {

const std::string& HomeOperationOutcome::text() const {
    if (const auto* succeeded = std::get_if<Succeeded>(&value)) return succeeded->summary;
    return std::get<Failed>(value).message;
}

std::string render(const HomeOperationOutcome& outcome) {
    if (const auto* succeeded = std::get_if<HomeOperationOutcome::Succeeded>(&outcome.value)) {
        return CaseDescription("succeeded").field("summary", succeeded->summary).str();
    }
    return CaseDescription("failed").field("message", std::get<HomeOperationOutcome::Failed>(outcome.value).message).str();
}

void PrintTo(const HomeOperationOutcome& outcome, std::ostream* os) { *os << render(outcome); }

}  // namespace marlowick
