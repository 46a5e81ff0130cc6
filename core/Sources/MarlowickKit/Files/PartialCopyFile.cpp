#include "Files/PartialCopyFile.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <vector>

#include "Bytes/HexText.hpp"

namespace marlowick {
namespace {

// A clean-up can take a new partial file for stale in the moment between its creation and
// its lock; the copy then tries again under another name.
constexpr int createAttempts = 4;

std::string randomName() {
    std::array<std::uint8_t, 4> random{};
    if (::getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) {
        // getrandom only fails before the kernel's pool is ready; a clash is refused by O_EXCL anyway.
        const auto fallback = static_cast<std::uint32_t>(::getpid()) ^ static_cast<std::uint32_t>(::time(nullptr));
        for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<std::uint8_t>(fallback >> (8 * i));
    }
    return std::string(PartialCopyFile::prefix) + lowerHex(random);
}

// Whether the name in the folder still leads to the file open on `descriptor`.
bool stillNamed(int folder, const std::string& name, int descriptor) {
    struct stat named {};
    struct stat open {};
    return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(descriptor, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

std::vector<std::string> partialNames(int folder) {
    std::vector<std::string> names;
    const int listing = ::dup(folder);
    if (listing < 0) return names;
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with(PartialCopyFile::prefix)) names.emplace_back(name);
    }
    ::closedir(entries);
    return names;
}

}  // namespace

std::variant<PartialCopyFile, int> PartialCopyFile::create(int folder) {
    for (int attempt = 0; attempt < createAttempts; ++attempt) {
        std::string name = randomName();
        const int writeFd =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (writeFd < 0) return errno;
        // The lock lives on a descriptor of its own, so that the one written through can be
        // closed (and its errors seen) before the copy is read back and renamed.
        const int lockFd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (lockFd < 0) {
            const int error = errno;
            ::close(writeFd);
            if (error == ENOENT) continue;  // already removed by a clean-up
            ::unlinkat(folder, name.c_str(), 0);
            return error;
        }
        // A file system without flock gives no lock; no clean-up can take the file there either.
        const bool takenByCleanUp = ::flock(lockFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (!takenByCleanUp && stillNamed(folder, name, lockFd) && stillNamed(folder, name, writeFd)) {
            return PartialCopyFile(folder, writeFd, lockFd, std::move(name));
        }
        // The clean-up that holds it, or has removed it already, leaves nothing behind.
        ::close(lockFd);
        ::close(writeFd);
    }
    return EAGAIN;
}

int PartialCopyFile::removeStale(const std::filesystem::path& folderPath) {
    const int folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return 0;
    int removed = 0;
    for (const std::string& name : partialNames(folder)) {
        // O_NONBLOCK: a FIFO under such a name must not hang the clean-up; it is left alone.
        const int file = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (file < 0) continue;
        struct stat status {};
        // A partial file some copy holds is that copy's; the lock is kept until after the
        // unlink, so that the name is checked and removed while no copy can take it.
        if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && ::flock(file, LOCK_EX | LOCK_NB) == 0 &&
            stillNamed(folder, name, file) && ::unlinkat(folder, name.c_str(), 0) == 0) {
            ++removed;
        }
        ::close(file);
    }
    ::close(folder);
    return removed;
}

PartialCopyFile::PartialCopyFile(PartialCopyFile&& other) noexcept
    : folder(other.folder),
      writeFd(other.writeFd),
      lockFd(other.lockFd),
      fileName(std::move(other.fileName)),
      linked(other.linked) {
    other.writeFd = -1;
    other.lockFd = -1;
    other.linked = false;
}

PartialCopyFile::~PartialCopyFile() { remove(); }

int PartialCopyFile::closeWriter() {
    if (writeFd < 0) return 0;
    const int result = ::close(writeFd);
    writeFd = -1;
    return result == 0 ? 0 : errno;
}

void PartialCopyFile::remove() {
    if (writeFd >= 0) ::close(writeFd);
    writeFd = -1;
    if (linked) ::unlinkat(folder, fileName.c_str(), 0);
    linked = false;
    // Only the last descriptor's close gives the file's space back.
    if (lockFd >= 0) ::close(lockFd);
    lockFd = -1;
}

}  // namespace marlowick
