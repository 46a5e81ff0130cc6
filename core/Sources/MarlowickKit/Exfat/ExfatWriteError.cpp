#include "Exfat/ExfatWriteError.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const ExfatWriteError::NameTooLong& e) const {
        return CaseDescription("nameTooLong").field("length", e.length).str();
    }
    std::string operator()(const ExfatWriteError::NameNotAscii& e) const {
        return CaseDescription("nameNotAscii").field("name", e.name).str();
    }
    std::string operator()(const ExfatWriteError::NegativeSize& e) const {
        return CaseDescription("negativeSize").field("sizeBytes", e.sizeBytes).str();
    }
    std::string operator()(const ExfatWriteError::NotEnoughSpace& e) const {
        return CaseDescription("notEnoughSpace")
            .field("clustersNeeded", e.clustersNeeded)
            .field("clustersFree", e.clustersFree)
            .str();
    }
    std::string operator()(const ExfatWriteError::SourceTooShort& e) const {
        return CaseDescription("sourceTooShort").field("declared", e.declared).field("actual", e.actual).str();
    }
    std::string operator()(const ExfatWriteError::Unsupported& e) const {
        return CaseDescription("unsupported").field("reason", e.reason).str();
    }
    std::string operator()(const ExfatWriteError::EmptyName&) const { return CaseDescription("emptyName").str(); }
};

}  // namespace

std::string render(const ExfatWriteError& error) { return std::visit(Renderer{}, error.value); }

void PrintTo(const ExfatWriteError& error, std::ostream* os) { *os << render(error); }

}  // namespace marlowick
