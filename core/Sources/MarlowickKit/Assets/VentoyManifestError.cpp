#include "Assets/VentoyManifestError.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyManifestError::ArchiveHashWrongLength& e) const {
        return CaseDescription("archiveHashWrongLength").field("count", e.count).str();
    }
    std::string operator()(const VentoyManifestError::NonPositiveArchiveSize& e) const {
        return CaseDescription("nonPositiveArchiveSize").value(e.size).str();
    }
    std::string operator()(const VentoyManifestError::IncompleteAssetCoverage& e) const {
        return CaseDescription("incompleteAssetCoverage").field("expected", e.expected).field("found", e.found).str();
    }
    std::string operator()(const VentoyManifestError::InvalidMinimumAppVersion& e) const {
        return CaseDescription("invalidMinimumAppVersion").value(e.value).str();
    }
    std::string operator()(const VentoyManifestError::DownloadBaseUrlNotHttps& e) const {
        return CaseDescription("downloadBaseUrlNotHttps").value(e.address).str();
    }
    std::string operator()(const VentoyManifestError::CompressedHashWrongLength& e) const {
        return CaseDescription("compressedHashWrongLength").field("count", e.count).str();
    }
    std::string operator()(const VentoyManifestError::DecompressedHashWrongLength& e) const {
        return CaseDescription("decompressedHashWrongLength").field("count", e.count).str();
    }
    std::string operator()(const VentoyManifestError::NonPositiveCompressedSize& e) const {
        return CaseDescription("nonPositiveCompressedSize").value(e.size).str();
    }
    std::string operator()(const VentoyManifestError::NonPositiveDecompressedSize& e) const {
        return CaseDescription("nonPositiveDecompressedSize").value(e.size).str();
    }
    std::string operator()(const VentoyManifestError::BlankVersion&) const {
        return CaseDescription("blankVersion").str();
    }
};

}  // namespace

std::string render(const VentoyManifestError::Case& error) { return std::visit(Renderer{}, error); }

VentoyManifestError::VentoyManifestError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

void PrintTo(const VentoyManifestError& error, std::ostream* os) { *os << render(error.value); }

}  // namespace marlowick
