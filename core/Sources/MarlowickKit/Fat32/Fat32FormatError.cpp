#include "Fat32/Fat32FormatError.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const Fat32FormatError::UnsupportedSectorSize& e) const {
        return CaseDescription("unsupportedSectorSize").field("sectorSize", e.sectorSize).str();
    }
    std::string operator()(const Fat32FormatError::InvalidSectorsPerCluster& e) const {
        return CaseDescription("invalidSectorsPerCluster").field("sectorsPerCluster", e.sectorsPerCluster).str();
    }
    std::string operator()(const Fat32FormatError::ClusterTooLarge& e) const {
        return CaseDescription("clusterTooLarge").field("clusterBytes", e.clusterBytes).str();
    }
    std::string operator()(const Fat32FormatError::VolumeOutOfDeviceBounds& e) const {
        return CaseDescription("volumeOutOfDeviceBounds")
            .field("volumeOffsetSectors", e.volumeOffsetSectors)
            .field("volumeLengthSectors", e.volumeLengthSectors)
            .field("deviceSectorCount", e.deviceSectorCount)
            .str();
    }
    std::string operator()(const Fat32FormatError::VolumeTooSmall& e) const {
        return Fat32LayoutCalculator::render({e});
    }
    std::string operator()(const Fat32FormatError::VolumeTooLarge& e) const {
        return Fat32LayoutCalculator::render({e});
    }
    std::string operator()(const Fat32FormatError::VolumeLabelTooLong& e) const {
        return CaseDescription("volumeLabelTooLong").field("length", e.length).str();
    }
    std::string operator()(const Fat32FormatError::Unexpected& e) const {
        return CaseDescription("unexpected").field("reason", e.reason).str();
    }
};

}  // namespace

std::string render(const Fat32FormatError& error) { return std::visit(Renderer{}, error.value); }

void PrintTo(const Fat32FormatError& error, std::ostream* os) { *os << render(error); }

}  // namespace marlowick
