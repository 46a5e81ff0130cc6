#include "Exfat/ExfatListingResult.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct ResultRenderer {
    std::string operator()(const ExfatListingResult::Success& s) const {
        std::string list = "[";
        for (const ExfatEntry& entry : s.entries) {
            list += (list.size() > 1 ? ", " : "") + render(entry);
        }
        return CaseDescription("success").rawField("entries", list + "]").str();
    }
    std::string operator()(const ExfatFreeSpaceResult::Success& s) const {
        return CaseDescription("success").field("freeBytes", s.freeBytes).field("totalBytes", s.totalBytes).str();
    }
    std::string operator()(const ExfatListingResult::Unsupported& u) const {
        return CaseDescription("unsupported").field("reason", u.reason).str();
    }
    std::string operator()(const ExfatListingResult::ReadFailed& r) const {
        return CaseDescription("readFailed").rawField("error", render(r.error)).str();
    }
    std::string operator()(const ExfatListingResult::NotExfat&) const { return CaseDescription("notExfat").str(); }
};

}  // namespace

std::string render(const ExfatEntry& entry) {
    return CaseDescription("entry")
        .field("path", entry.path)
        .field("name", entry.name)
        .field("sizeBytes", entry.sizeBytes)
        .field("isDirectory", entry.isDirectory)
        .str();
}
std::string render(const ExfatListingResult& result) { return std::visit(ResultRenderer{}, result.value); }
std::string render(const ExfatFreeSpaceResult& result) { return std::visit(ResultRenderer{}, result.value); }
void PrintTo(const ExfatEntry& entry, std::ostream* os) { *os << render(entry); }
void PrintTo(const ExfatListingResult& result, std::ostream* os) { *os << render(result); }
void PrintTo(const ExfatFreeSpaceResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
