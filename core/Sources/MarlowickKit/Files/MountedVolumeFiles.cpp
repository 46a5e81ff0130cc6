#include "Files/MountedVolumeFiles.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unicode/ucol.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "Text/ErrnoText.hpp"
#include "Files/MountedImageCopier.hpp"
#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

using Failure = MountedFileFailure;

class Fd {
public:
    Fd() = default;
    explicit Fd(int descriptor) : fd(descriptor) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    [[nodiscard]] int get() const { return fd; }
    [[nodiscard]] bool valid() const { return fd >= 0; }

private:
    int fd = -1;
};

// One name below an open folder, neither "." nor ".." nor holding a slash (VolumePath sees
// to that), opened without following a link or crossing into another mount: openat2
// refuses a link, anything outside the folder and a mount point (EXDEV, bind mounts of the
// volume itself included); a kernel without openat2 (before 5.6) gets openat with
// O_NOFOLLOW, which for a single component refuses a link just the same, and the callers
// compare device numbers with the root's for the mounts.
int openBeneath(int folder, const std::string& name, int flags) {
    static bool hasOpenat2 = true;
    if (hasOpenat2) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
        const long fd = ::syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
        hasOpenat2 = false;
    }
    return ::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
}

bool isFolder(const struct stat& info) { return S_ISDIR(info.st_mode); }

// Another file system mounted on a folder of the volume is not part of the volume: nothing
// is listed below it, read from it, made in it or deleted from it.
const std::string otherFileSystem = "another file system is mounted here";

// What stands at a path: the folder holding it (open), its name there and its status; for
// the root, the root itself with an empty name.
struct Node {
    Fd folder;
    std::string name;
    std::optional<struct stat> status;  // none: missing
    dev_t rootDevice = 0;               // the volume's own file system
};

std::string debugQuoted(const std::string& name) { return CaseDescription::quoted(name); }

std::chrono::system_clock::time_point modifiedTime(const struct stat& info) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
}

struct CollatorClose {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorClose>;

// Case-insensitive, digit runs compared by value: file10 after File2 after file1.
Collator fileNameCollator() {
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(ucol_open("", &status));
    if (U_FAILURE(status)) return nullptr;
    ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setStrength(collator.get(), UCOL_SECONDARY);
    return collator;
}

bool collatedLess(UCollator* collator, const std::string& a, const std::string& b) {
    if (collator == nullptr) return a < b;
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult order = ucol_strcollUTF8(collator, a.data(), static_cast<std::int32_t>(a.size()), b.data(),
                                                    static_cast<std::int32_t>(b.size()), &status);
    return U_SUCCESS(status) ? order == UCOL_LESS : a < b;
}

class Walker {
public:
    explicit Walker(const std::filesystem::path& root) : rootPath(root) {}

    // Opens the root folder itself (never through a link).
    MountedFileResult<Fd> openRoot() const {
        Fd fd(::open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) return Failure{Failure::IoFailed{"stat", VolumePath::root, currentErrnoText()}};
        return fd;
    }

    // Walks from the root one component at a time, refusing a link anywhere on the way.
    MountedFileResult<Node> examine(const VolumePath& path) const {
        MountedFileResult<Fd> opened = openRoot();
        if (auto* failure = std::get_if<Failure>(&opened)) return *failure;
        Fd current = std::move(std::get<Fd>(opened));
        struct stat status {};
        if (::fstat(current.get(), &status) != 0) {
            return Failure{Failure::IoFailed{"stat", VolumePath::root, currentErrnoText()}};
        }
        const dev_t rootDevice = status.st_dev;
        VolumePath walked;
        for (std::size_t i = 0; i < path.components.size(); ++i) {
            if (!isFolder(status)) return Failure{Failure::NotADirectory{walked}};
            const std::string& name = path.components[i];
            walked.components.push_back(name);
            const bool last = i + 1 == path.components.size();
            struct stat child {};
            if (::fstatat(current.get(), name.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                const int error = errno;
                if (error == ENOENT) {
                    if (last) return Node{std::move(current), name, std::nullopt};
                    return Failure{Failure::NotFound{path}};
                }
                return Failure{Failure::IoFailed{"stat", walked, errnoText(error)}};
            }
            if (S_ISLNK(child.st_mode)) return Failure{Failure::SymbolicLink{walked}};
            // A mount point's status is that of the mounted file system's root.
            if (child.st_dev != rootDevice) return Failure{Failure::IoFailed{"stat", walked, otherFileSystem}};
            if (last) return Node{std::move(current), name, child, rootDevice};
            if (!isFolder(child)) return Failure{Failure::NotADirectory{walked}};
            MountedFileResult<Fd> next = openSubfolder(current.get(), name, walked, "stat", rootDevice);
            if (auto* failure = std::get_if<Failure>(&next)) {
                if (std::holds_alternative<Failure::NotFound>(failure->value)) return Failure{Failure::NotFound{path}};
                return *failure;
            }
            // The folder opened must be the one examined: a swap in between is a failure.
            if (::fstat(std::get<Fd>(next).get(), &status) != 0 || status.st_ino != child.st_ino) {
                return Failure{Failure::IoFailed{"stat", walked, "the folder changed while it was opened"}};
            }
            current = std::move(std::get<Fd>(next));
        }
        return Node{std::move(current), {}, status, rootDevice};
    }

    // The existing folder at a path, open: what list, listTree and directoryURL share.
    MountedFileResult<Fd> openExistingFolder(const VolumePath& path) const {
        MountedFileResult<Node> examined = examine(path);
        if (auto* failure = std::get_if<Failure>(&examined)) return *failure;
        const Node& node = std::get<Node>(examined);
        if (!node.status) return Failure{Failure::NotFound{path}};
        if (!isFolder(*node.status)) return Failure{Failure::NotADirectory{path}};
        if (node.name.empty()) {
            Fd fd(::fcntl(node.folder.get(), F_DUPFD_CLOEXEC, 0));
            if (!fd.valid()) return Failure{Failure::IoFailed{"list", path, currentErrnoText()}};
            return fd;
        }
        return openSubfolder(node.folder.get(), node.name, path, "list", node.rootDevice);
    }

    // A folder below an open one, never through a link nor into another mount.
    static MountedFileResult<Fd> openSubfolder(int folder, const std::string& name, const VolumePath& path,
                                               const std::string& operation, dev_t rootDevice) {
        Fd fd(openBeneath(folder, name, O_RDONLY | O_DIRECTORY));
        if (!fd.valid()) {
            const int error = errno;
            if (error == ELOOP) return Failure{Failure::SymbolicLink{path}};
            if (error == ENOTDIR) return Failure{Failure::NotADirectory{path}};
            if (error == ENOENT) return Failure{Failure::NotFound{path}};
            if (error == EXDEV) return Failure{Failure::IoFailed{operation, path, otherFileSystem}};
            return Failure{Failure::IoFailed{operation, path, errnoText(error)}};
        }
        struct stat status {};
        if (::fstat(fd.get(), &status) != 0) return Failure{Failure::IoFailed{operation, path, currentErrnoText()}};
        if (status.st_dev != rootDevice) return Failure{Failure::IoFailed{operation, path, otherFileSystem}};
        return fd;
    }

    // The sorted entries of an open folder.
    static MountedFileResult<std::vector<MountedEntry>> children(int folder, const VolumePath& path,
                                                                 bool includeHidden, UCollator* collator) {
        const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
        if (listed < 0) return Failure{Failure::IoFailed{"list", path, currentErrnoText()}};
        DIR* directory = ::fdopendir(listed);
        if (directory == nullptr) {
            const int error = errno;
            ::close(listed);
            return Failure{Failure::IoFailed{"list", path, errnoText(error)}};
        }
        std::unique_ptr<DIR, int (*)(DIR*)> closer(directory, ::closedir);
        ::rewinddir(directory);
        std::vector<std::string> names;
        while (true) {
            errno = 0;
            const dirent* entry = ::readdir(directory);
            if (entry == nullptr) {
                if (errno != 0) return Failure{Failure::IoFailed{"list", path, currentErrnoText()}};
                break;
            }
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        std::vector<MountedEntry> entries;
        for (const std::string& name : names) {
            if (!includeHidden && name.starts_with('.')) continue;
            const std::optional<VolumePath> childPath = path.appending(name);
            if (!childPath) return Failure{Failure::IoFailed{"list", path, "unrepresentable name " + debugQuoted(name)}};
            struct stat child {};
            if (::fstatat(folder, name.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT) continue;  // gone meanwhile
                return Failure{Failure::IoFailed{"stat", *childPath, currentErrnoText()}};
            }
            entries.emplace_back(*childPath, isFolder(child), child.st_size, modifiedTime(child));
        }
        std::stable_sort(entries.begin(), entries.end(), [collator](const MountedEntry& a, const MountedEntry& b) {
            return collatedLess(collator, a.name(), b.name());
        });
        return entries;
    }

    std::filesystem::path rootPath;
};

// Flushes a folder's entries to the medium; failures are of no consequence to the caller.
void syncFolder(int folder) { (void)::fsync(folder); }

}  // namespace

bool MountedVolumeFiles::nameOrder(const std::string& a, const std::string& b) {
    const Collator collator = fileNameCollator();
    return collatedLess(collator.get(), a, b);
}

std::filesystem::path MountedVolumeFiles::url(const VolumePath& path) const {
    std::filesystem::path location = root;
    for (const std::string& component : path.components) location /= component;
    return location;
}

MountedFileResult<std::vector<MountedEntry>> MountedVolumeFiles::list(const VolumePath& path, bool includeHidden) const {
    MountedFileResult<Fd> folder = Walker(root).openExistingFolder(path);
    if (auto* failure = std::get_if<Failure>(&folder)) return *failure;
    const Collator collator = fileNameCollator();
    return Walker::children(std::get<Fd>(folder).get(), path, includeHidden, collator.get());
}

MountedFileResult<std::vector<MountedEntry>> MountedVolumeFiles::listTree(const VolumePath& from, bool includeHidden,
                                                                          int maxEntries) const {
    MountedFileResult<Fd> start = Walker(root).openExistingFolder(from);
    if (auto* failure = std::get_if<Failure>(&start)) return *failure;
    struct stat startStatus {};
    if (::fstat(std::get<Fd>(start).get(), &startStatus) != 0) {
        return Failure{Failure::IoFailed{"list", from, currentErrnoText()}};
    }

    const Collator collator = fileNameCollator();
    std::vector<MountedEntry> result;
    const std::function<std::optional<Failure>(int, const VolumePath&)> walk =
        [&](int folder, const VolumePath& path) -> std::optional<Failure> {
        MountedFileResult<std::vector<MountedEntry>> listed =
            Walker::children(folder, path, includeHidden, collator.get());
        if (auto* failure = std::get_if<Failure>(&listed)) return *failure;
        for (MountedEntry& child : std::get<std::vector<MountedEntry>>(listed)) {
            if (static_cast<int>(result.size()) >= maxEntries) return Failure{Failure::TooManyEntries{maxEntries}};
            const bool descend = child.isDirectory;
            const VolumePath childPath = child.path;
            result.push_back(std::move(child));
            if (!descend) continue;
            MountedFileResult<Fd> sub =
                Walker::openSubfolder(folder, *childPath.name(), childPath, "list", startStatus.st_dev);
            if (auto* failure = std::get_if<Failure>(&sub)) return *failure;
            if (std::optional<Failure> failure = walk(std::get<Fd>(sub).get(), childPath)) return failure;
        }
        return std::nullopt;
    };
    if (std::optional<Failure> failure = walk(std::get<Fd>(start).get(), from)) return *failure;
    return result;
}

MountedFileResult<MountedFileContent> MountedVolumeFiles::read(const VolumePath& path, std::int64_t maxBytes) const {
    const Walker walker(root);
    MountedFileResult<Node> examined = walker.examine(path);
    if (auto* failure = std::get_if<Failure>(&examined)) return *failure;
    const Node& node = std::get<Node>(examined);
    if (!node.status) return Failure{Failure::NotFound{path}};
    if (isFolder(*node.status)) return Failure{Failure::IsADirectory{path}};
    // O_NONBLOCK: a FIFO planted on the volume must not hang the caller.
    Fd file(node.name.empty() ? -1 : openBeneath(node.folder.get(), node.name, O_RDONLY | O_NONBLOCK));
    if (!file.valid()) {
        const int error = errno;
        if (error == ELOOP) return Failure{Failure::SymbolicLink{path}};
        if (error == EXDEV) return Failure{Failure::IoFailed{"open", path, otherFileSystem}};
        return Failure{Failure::IoFailed{"open", path, errnoText(error)}};
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return Failure{Failure::IoFailed{"stat", path, currentErrnoText()}};
    if (status.st_dev != node.rootDevice) return Failure{Failure::IoFailed{"open", path, otherFileSystem}};
    const std::int64_t size = status.st_size;
    const std::int64_t count = std::min(size, maxBytes);
    if (maxBytes < 0 || count < 1) return MountedFileContent{{}, size};
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count), 0);
    const std::int64_t got = MountedImageCopier::readFully(file.get(), data.data(), count);
    if (got < 0) return Failure{Failure::IoFailed{"read", path, errnoText(static_cast<int>(-got))}};
    data.resize(static_cast<std::size_t>(got));
    return MountedFileContent{std::move(data), size};
}

MountedFileResult<std::filesystem::path> MountedVolumeFiles::directoryURL(const VolumePath& path) const {
    MountedFileResult<Fd> folder = Walker(root).openExistingFolder(path);
    if (auto* failure = std::get_if<Failure>(&folder)) return *failure;
    return url(path);
}

std::optional<MountedFileFailure> MountedVolumeFiles::makeDirectory(const VolumePath& path) const {
    const Walker walker(root);
    VolumePath current;
    for (const std::string& component : path.components) {
        current.components.push_back(component);
        MountedFileResult<Node> examined = walker.examine(current);
        if (auto* failure = std::get_if<Failure>(&examined)) return *failure;
        const Node& node = std::get<Node>(examined);
        if (node.status) {
            if (!isFolder(*node.status)) return Failure{Failure::NotADirectory{current}};
            continue;
        }
        if (::mkdirat(node.folder.get(), node.name.c_str(), 0755) == 0) {
            syncFolder(node.folder.get());
            continue;
        }
        if (errno != EEXIST) return Failure{Failure::IoFailed{"mkdir", current, currentErrnoText()}};
        // It appeared meanwhile: only a folder will do.
        MountedFileResult<Node> again = walker.examine(current);
        const Node* found = std::get_if<Node>(&again);
        if (found == nullptr || !found->status || !isFolder(*found->status)) {
            return Failure{Failure::NotADirectory{current}};
        }
    }
    return std::nullopt;
}

MountedDeleteReport MountedVolumeFiles::remove(const std::vector<VolumePath>& paths,
                                               const std::function<bool()>& isCancelled) const {
    const Walker walker(root);
    MountedDeleteReport report;
    std::vector<VolumePath> parents;
    const auto deleteOne = [&walker](const VolumePath& path) -> MountedDeleteReport::Outcome {
        if (path.isRoot()) return {path, Failure{Failure::RootNotDeletable{}}, 0};
        MountedFileResult<Node> examined = walker.examine(path);
        if (auto* failure = std::get_if<Failure>(&examined)) return {path, *failure, 0};
        const Node& node = std::get<Node>(examined);
        if (!node.status) return {path, Failure{Failure::NotFound{path}}, 0};
        if (isFolder(*node.status)) {
            if (::unlinkat(node.folder.get(), node.name.c_str(), AT_REMOVEDIR) == 0) return {path, std::nullopt, 0};
            const int error = errno;
            if (error == EEXIST || error == ENOTEMPTY) return {path, Failure{Failure::DirectoryNotEmpty{path}}, 0};
            return {path, Failure{Failure::IoFailed{"rmdir", path, errnoText(error)}}, 0};
        }
        if (::unlinkat(node.folder.get(), node.name.c_str(), 0) == 0) return {path, std::nullopt, node.status->st_size};
        const int error = errno;
        if (error == ENOENT) return {path, Failure{Failure::NotFound{path}}, 0};
        return {path, Failure{Failure::IoFailed{"unlink", path, errnoText(error)}}, 0};
    };
    for (const VolumePath& path : paths) {
        if (isCancelled && isCancelled()) {
            report.wasCancelled = true;
            break;
        }
        MountedDeleteReport::Outcome outcome = deleteOne(path);
        if (!outcome.failure && !path.isRoot()) {
            const VolumePath parent = *path.parent();
            if (std::find(parents.begin(), parents.end(), parent) == parents.end()) parents.push_back(parent);
        }
        report.outcomes.push_back(std::move(outcome));
    }
    for (const VolumePath& parent : parents) {
        MountedFileResult<Fd> folder = walker.openExistingFolder(parent);
        if (const Fd* fd = std::get_if<Fd>(&folder)) syncFolder(fd->get());
    }
    return report;
}

}  // namespace marlowick
