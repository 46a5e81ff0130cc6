#include "Files/MountedFileFailure.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const MountedFileFailure::NotFound& c) const { return withPath("notFound", c.path); }
    std::string operator()(const MountedFileFailure::NotADirectory& c) const { return withPath("notADirectory", c.path); }
    std::string operator()(const MountedFileFailure::IsADirectory& c) const { return withPath("isADirectory", c.path); }
    std::string operator()(const MountedFileFailure::DirectoryNotEmpty& c) const {
        return withPath("directoryNotEmpty", c.path);
    }
    std::string operator()(const MountedFileFailure::SymbolicLink& c) const { return withPath("symbolicLink", c.path); }
    std::string operator()(const MountedFileFailure::TooManyEntries& c) const {
        return CaseDescription("tooManyEntries").field("limit", c.limit).str();
    }
    std::string operator()(const MountedFileFailure::IoFailed& c) const {
        return CaseDescription("ioFailed")
            .field("operation", c.operation)
            .field("path", c.path.string())
            .field("detail", c.detail)
            .str();
    }
    std::string operator()(const MountedFileFailure::RootNotDeletable&) const { return "rootNotDeletable"; }

    static std::string withPath(std::string_view name, const VolumePath& path) {
        return CaseDescription(name).field("path", path.string()).str();
    }
};

}  // namespace

std::string render(const MountedFileFailure& failure) { return std::visit(Renderer{}, failure.value); }

void PrintTo(const MountedFileFailure& failure, std::ostream* os) { *os << render(failure); }

}  // namespace marlowick
