#include "Image/SourceFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace marlowick {
namespace {

SourceFile::Kind kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return SourceFile::Kind::directory;
    if (S_ISBLK(mode)) return SourceFile::Kind::blockDevice;
    if (S_ISCHR(mode)) return SourceFile::Kind::characterDevice;
    if (S_ISFIFO(mode)) return SourceFile::Kind::fifo;
    if (S_ISSOCK(mode)) return SourceFile::Kind::socket;
    return SourceFile::Kind::other;
}

// open(2) answers ENXIO for a socket, which it cannot open at all; looked at without
// opening it (O_PATH), such a node is refused for what it is.
SourceFile::Refusal unopenable(const std::string& path, const FileOpener& opener, int error) {
    if (error == ENXIO) {
        const int node = opener.open(path, O_PATH | O_CLOEXEC);
        if (node >= 0) {
            struct stat attributes {};
            const bool examined = ::fstat(node, &attributes) == 0;
            ::close(node);
            if (examined && !S_ISREG(attributes.st_mode)) return SourceFile::NotAFile{kindOf(attributes.st_mode)};
        }
    }
    return SourceFile::Unopenable{error};
}

}  // namespace

std::variant<SourceFile, SourceFile::Refusal> SourceFile::open(const std::string& path, const FileOpener& opener) {
    const int descriptor = opener.open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return unopenable(path, opener, errno);
    struct stat attributes {};
    if (::fstat(descriptor, &attributes) != 0) {
        const int error = errno;
        ::close(descriptor);
        return Unopenable{error};
    }
    if (!S_ISREG(attributes.st_mode)) {
        ::close(descriptor);
        return NotAFile{kindOf(attributes.st_mode)};
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) (void)::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return SourceFile(descriptor, static_cast<std::int64_t>(attributes.st_size));
}

std::variant<SourceFile, SourceFile::Refusal> SourceFile::open(const std::string& path) {
    return open(path, DefaultFileOpener());
}

SourceFile::SourceFile(SourceFile&& other) noexcept : fd(other.fd), size(other.size) { other.fd = -1; }

SourceFile::~SourceFile() {
    if (fd >= 0) ::close(fd);
}

int SourceFile::release() {
    const int descriptor = fd;
    fd = -1;
    return descriptor;
}

std::string describe(SourceFile::Kind kind) {
    switch (kind) {
        case SourceFile::Kind::directory: return "a directory";
        case SourceFile::Kind::blockDevice: return "a block device";
        case SourceFile::Kind::characterDevice: return "a character device";
        case SourceFile::Kind::fifo: return "a FIFO";
        case SourceFile::Kind::socket: return "a socket";
        case SourceFile::Kind::other: break;
    }
    return "a special file";
}

}  // namespace marlowick
