#include "Block/BlockError.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const BlockError::NegativeSector& e) const {
        return CaseDescription("negativeSector").field("startSector", e.startSector).str();
    }
    std::string operator()(const BlockError::OutOfBounds& e) const {
        return CaseDescription("outOfBounds")
            .field("startSector", e.startSector)
            .field("sectorCount", e.sectorCount)
            .field("deviceSectorCount", e.deviceSectorCount)
            .str();
    }
    std::string operator()(const BlockError::MisalignedLength& e) const {
        return CaseDescription("misalignedLength").field("length", e.length).field("sectorSize", e.sectorSize).str();
    }
    std::string operator()(const BlockError::InvalidSectorCount& e) const {
        return CaseDescription("invalidSectorCount").field("sectorCount", e.sectorCount).str();
    }
    std::string operator()(const BlockError::Closed& e) const {
        return CaseDescription("closed").field("operation", e.operation).str();
    }
    std::string operator()(const BlockError::DeviceFailure& e) const {
        return CaseDescription("deviceFailure").field("operation", e.operation).field("detail", e.detail).str();
    }
};

}  // namespace

std::string render(const BlockError& error) { return std::visit(Renderer{}, error.value); }

void PrintTo(const BlockError& error, std::ostream* os) { *os << render(error); }

}  // namespace marlowick
