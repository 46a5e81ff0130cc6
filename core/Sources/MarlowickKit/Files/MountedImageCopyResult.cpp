#include "Files/MountedImageCopyResult.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    using R = MountedImageCopyResult;
    std::string operator()(const R::Copied& c) const {
        return CaseDescription("copied")
            .field("sizeBytes", c.sizeBytes)
            .field("freeBytesAfter", c.freeBytesAfter)
            .field("totalBytes", c.totalBytes)
            .str();
    }
    std::string operator()(const R::SourceUnreadable& c) const {
        return CaseDescription("sourceUnreadable").field("detail", c.detail).str();
    }
    std::string operator()(const R::SourceNotAFile& c) const {
        return CaseDescription("sourceNotAFile").field("kind", c.kind).str();
    }
    std::string operator()(const R::Rejected& c) const {
        return CaseDescription("rejected").rawValue(render(c.error)).str();
    }
    std::string operator()(const R::NotEnoughSpace& c) const {
        return CaseDescription("notEnoughSpace").field("bytesNeeded", c.bytesNeeded).field("bytesFree", c.bytesFree).str();
    }
    std::string operator()(const R::TooLargeForFilesystem& c) const {
        return CaseDescription("tooLargeForFilesystem")
            .field("sizeBytes", c.sizeBytes)
            .field("limitBytes", c.limitBytes)
            .str();
    }
    std::string operator()(const R::SourceTooShort& c) const {
        return CaseDescription("sourceTooShort").field("declared", c.declared).field("actual", c.actual).str();
    }
    std::string operator()(const R::SourceSizeMismatch& c) const {
        return CaseDescription("sourceSizeMismatch").field("declared", c.declared).field("actual", c.actual).str();
    }
    std::string operator()(const R::IoFailed& c) const {
        return CaseDescription("ioFailed")
            .field("stage", c.stage)
            .field("operation", c.operation)
            .field("detail", c.detail)
            .str();
    }
    std::string operator()(const R::VerificationFailed& c) const {
        return CaseDescription("verificationFailed").field("reason", c.reason).str();
    }
    std::string operator()(const R::NameNotStorable&) const { return "nameNotStorable"; }
    std::string operator()(const R::AlreadyExists&) const { return "alreadyExists"; }
    std::string operator()(const R::Cancelled&) const { return "cancelled"; }
};

}  // namespace

std::string render(const MountedImageCopyResult& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const MountedImageCopyResult& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
