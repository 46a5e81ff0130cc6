#include "Install/VentoyInstallOptionsError.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyInstallOptionsError::NegativeReserveBytes& e) const {
        return CaseDescription("negativeReserveBytes").value(e.bytes).str();
    }
    std::string operator()(const VentoyInstallOptionsError::ClusterNotPowerOfTwo& e) const {
        return CaseDescription("clusterNotPowerOfTwo").value(e.size).str();
    }
    std::string operator()(const VentoyInstallOptionsError::ClusterOutOfRange& e) const {
        return CaseDescription("clusterOutOfRange").value(e.size).str();
    }
    std::string operator()(const VentoyInstallOptionsError::VolumeLabelTooLong& e) const {
        return CaseDescription("volumeLabelTooLong").field("length", e.length).str();
    }
    std::string operator()(const VentoyInstallOptionsError::BlankVolumeLabel&) const {
        return CaseDescription("blankVolumeLabel").str();
    }
};

}  // namespace

std::string render(const VentoyInstallOptionsError::Case& error) { return std::visit(Renderer{}, error); }

VentoyInstallOptionsError::VentoyInstallOptionsError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

void PrintTo(const VentoyInstallOptionsError& error, std::ostream* os) { *os << render(error.value); }

}  // namespace marlowick
