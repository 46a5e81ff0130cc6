#include "Exfat/ExfatFormatParams.hpp"

#include <chrono>

#include "Text/CaseDescription.hpp"
#include "Exfat/ExfatLayoutCalculator.hpp"

namespace marlowick {

std::uint32_t ExfatFormatParams::timeDerivedSerial() {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const auto milliseconds = static_cast<std::int64_t>(seconds) * 1000;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(milliseconds) & 0xFFFFFFFFu);
}

namespace {

struct ErrorRenderer {
    std::string operator()(const ExfatFormatError::UnsupportedSectorSize& e) const {
        return CaseDescription("unsupportedSectorSize").field("sectorSize", e.sectorSize).str();
    }
    std::string operator()(const ExfatFormatError::InvalidSectorsPerCluster& e) const {
        return CaseDescription("invalidSectorsPerCluster").field("sectorsPerCluster", e.sectorsPerCluster).str();
    }
    std::string operator()(const ExfatFormatError::ClusterTooLarge& e) const {
        return CaseDescription("clusterTooLarge").field("clusterBytes", e.clusterBytes).str();
    }
    std::string operator()(const ExfatFormatError::VolumeOutOfDeviceBounds& e) const {
        return CaseDescription("volumeOutOfDeviceBounds")
            .field("volumeOffsetSectors", e.volumeOffsetSectors)
            .field("volumeLengthSectors", e.volumeLengthSectors)
            .field("deviceSectorCount", e.deviceSectorCount)
            .str();
    }
    std::string operator()(const ExfatFormatError::VolumeTooSmall& e) const {
        return CaseDescription("volumeTooSmall").field("volumeSectors", e.volumeSectors).field("minimum", e.minimum).str();
    }
    std::string operator()(const ExfatFormatError::VolumeLabelTooLong& e) const {
        return CaseDescription("volumeLabelTooLong").field("length", e.length).str();
    }
    std::string operator()(const ExfatFormatError::GeometryTooLargeToFormat& e) const {
        return CaseDescription("geometryTooLargeToFormat").field("reason", e.reason).str();
    }
    std::string operator()(const ExfatFormatError::Unexpected& e) const {
        return CaseDescription("unexpected").field("reason", e.reason).str();
    }
};

struct ResultRenderer {
    std::string operator()(const ExfatFormatResult::Success& s) const {
        return CaseDescription("success").rawField("layout", render(s.layout)).str();
    }
    std::string operator()(const ExfatFormatResult::Invalid& i) const {
        return CaseDescription("invalid").rawField("error", render(i.error)).str();
    }
    std::string operator()(const ExfatFormatResult::WriteFailed& w) const {
        return CaseDescription("writeFailed").field("stage", w.stage).rawField("error", render(w.error)).str();
    }
};

}  // namespace

std::string render(const ExfatFormatError& error) { return std::visit(ErrorRenderer{}, error.value); }
void PrintTo(const ExfatFormatError& error, std::ostream* os) { *os << render(error); }

std::string render(const ExfatFormatResult& result) { return std::visit(ResultRenderer{}, result.value); }
void PrintTo(const ExfatFormatResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
