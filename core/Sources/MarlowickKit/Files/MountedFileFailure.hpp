#pragma once
// Why a file operation on a mounted data volume failed. Returned, never thrown; the sentences
// the user sees for each case belong to the screens that show them.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Files/VolumePath.hpp"

namespace marlowick {

struct MountedFileFailure {
    struct NotFound {
        VolumePath path;
        bool operator==(const NotFound&) const = default;
    };
    // A folder was expected at this path (or at this ancestor) and something else is there.
    struct NotADirectory {
        VolumePath path;
        bool operator==(const NotADirectory&) const = default;
    };
    struct IsADirectory {
        VolumePath path;
        bool operator==(const IsADirectory&) const = default;
    };
    struct DirectoryNotEmpty {
        VolumePath path;
        bool operator==(const DirectoryNotEmpty&) const = default;
    };
    // This path, or the ancestor named, is a symbolic link: nothing goes through it.
    struct SymbolicLink {
        VolumePath path;
        bool operator==(const SymbolicLink&) const = default;
    };
    struct TooManyEntries {
        int limit = 0;
        bool operator==(const TooManyEntries&) const = default;
    };
    // operation: "stat", "list", "open", "read", "mkdir", "rmdir" or "unlink".
    struct IoFailed {
        std::string operation;
        VolumePath path;
        std::string detail;
        bool operator==(const IoFailed&) const = default;
    };
    struct RootNotDeletable {
        bool operator==(const RootNotDeletable&) const = default;
    };
    using Case = std::variant<NotFound, NotADirectory, IsADirectory, DirectoryNotEmpty, SymbolicLink, TooManyEntries,
                              IoFailed, RootNotDeletable>;

    Case value;
    bool operator==(const MountedFileFailure&) const = default;
};

// "symbolicLink(path: \"/iso/link\")", "ioFailed(operation: \"stat\", path: \"/a\", detail: \"errno 5 (…)\")"
[[nodiscard]] std::string render(const MountedFileFailure& failure);
void PrintTo(const MountedFileFailure& failure, std::ostream* os);

}  // namespace marlowick
