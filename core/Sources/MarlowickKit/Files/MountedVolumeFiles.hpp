#pragma once
// The file layer over a mounted data volume: list one folder, list a tree, read the start
// of a file, locate and create folders, delete files and empty folders. Paths are
// VolumePaths below the volume root, and no operation ever goes through a symbolic link:
// every path is walked from a descriptor of the root one component at a time, each folder
// opened with openat2(RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS) (O_NOFOLLOW where the kernel
// has no openat2) from the descriptor of the one above, each name examined with an lstat
// relative to its folder's descriptor, and each operation acting on that descriptor and
// name. A link anywhere on the path is refused, naming it. Nor does any operation go into
// another mount standing on a folder of the volume (openat2's RESOLVE_NO_XDEV, and device
// numbers compared with the root's): it fails with ioFailed. Blocking; never throws.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

#include "Files/MountedDeleteReport.hpp"
#include "Files/MountedEntry.hpp"
#include "Files/MountedFileFailure.hpp"
#include "Files/MountedVolume.hpp"
#include "Files/VolumePath.hpp"

namespace marlowick {

template <class Value>
using MountedFileResult = std::variant<Value, MountedFileFailure>;

class MountedVolumeFiles {
public:
    static constexpr int defaultMaxTreeEntries = 100000;

    explicit MountedVolumeFiles(const MountedVolume& volume) : root(volume.mountPoint) {}
    explicit MountedVolumeFiles(std::filesystem::path rootFolder) : root(std::move(rootFolder)) {}

    // The root with each component appended; touches nothing.
    [[nodiscard]] std::filesystem::path url(const VolumePath& path) const;
    // One folder's entries sorted by name as file browsers sort them (case-insensitive,
    // digit runs by value); names starting with "." left out unless includeHidden. A link
    // in the folder is listed as a file; only going through it is refused.
    [[nodiscard]] MountedFileResult<std::vector<MountedEntry>> list(const VolumePath& path, bool includeHidden) const;
    // The folder and everything below, depth first, each folder followed by its contents;
    // more than maxEntries entries fail with tooManyEntries.
    [[nodiscard]] MountedFileResult<std::vector<MountedEntry>> listTree(const VolumePath& from, bool includeHidden,
                                                                        int maxEntries) const;
    // At most maxBytes from the start of a file, and the file's whole size.
    [[nodiscard]] MountedFileResult<MountedFileContent> read(const VolumePath& path, std::int64_t maxBytes) const;
    [[nodiscard]] MountedFileResult<std::filesystem::path> directoryURL(const VolumePath& path) const;
    // Creates every missing folder along the path; none on success.
    [[nodiscard]] std::optional<MountedFileFailure> makeDirectory(const VolumePath& path) const;
    // Deletes files and empty folders one by one, never emptying a folder first; asks
    // isCancelled before each path. (`delete` is a C++ keyword.)
    [[nodiscard]] MountedDeleteReport remove(const std::vector<VolumePath>& paths,
                                             const std::function<bool()>& isCancelled) const;

    // a < b the way file browsers order names; used for every listing.
    [[nodiscard]] static bool nameOrder(const std::string& a, const std::string& b);

    std::filesystem::path root;
};

}  // namespace marlowick
