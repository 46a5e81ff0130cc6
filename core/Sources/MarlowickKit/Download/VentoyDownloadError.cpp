#include "Download/VentoyDownloadError.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const VentoyDownloadError::InvalidURL& e) const {
        return CaseDescription("invalidURL").value(e.address).str();
    }
    std::string operator()(const VentoyDownloadError::HttpStatus& e) const {
        return CaseDescription("httpStatus").value(e.code).str();
    }
    std::string operator()(const VentoyDownloadError::ArchiveSizeMismatch& e) const {
        return CaseDescription("archiveSizeMismatch").field("actual", e.actual).field("expected", e.expected).str();
    }
    std::string operator()(const VentoyDownloadError::ArchiveHashMismatch& e) const {
        return CaseDescription("archiveHashMismatch").field("actual", e.actual).field("expected", e.expected).str();
    }
};

}  // namespace

std::string render(const VentoyDownloadError::Case& error) { return std::visit(Renderer{}, error); }

VentoyDownloadError::VentoyDownloadError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

void PrintTo(const VentoyDownloadError& error, std::ostream* os) { *os << render(error.value); }

}  // namespace marlowick
