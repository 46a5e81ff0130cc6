#include "Image/FileRawImageSource.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Block/ErrnoText.hpp"

namespace marlowick {
namespace {

// The name a user recognises: "/srv/isos/disk.img/" shows as "disk.img".
std::string lastPathComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || path.size() == 1) return path;
    return path.substr(slash + 1);
}

// Why a special file is no image, or nullopt for a regular file.
std::optional<std::string> notAnImageReason(mode_t mode) {
    if (S_ISREG(mode)) return std::nullopt;
    if (S_ISDIR(mode)) return "it is a directory, not an image file";
    if (S_ISBLK(mode)) return "it is a block device, not an image file";
    if (S_ISCHR(mode)) return "it is a character device, not an image file";
    if (S_ISFIFO(mode)) return "it is a FIFO, not an image file";
    if (S_ISSOCK(mode)) return "it is a socket, not an image file";
    return "it is not a regular file";
}

}  // namespace

FileRawImageSource::FileRawImageSource(std::string path) : pathValue(std::move(path)) {
    struct stat attributes {};
    if (::stat(pathValue.c_str(), &attributes) == 0 && S_ISREG(attributes.st_mode)) {
        sizeValue = static_cast<std::int64_t>(attributes.st_size);
    }
}

RawImageOpenResult FileRawImageSource::open() const {
    const std::string refusal = "could not open " + lastPathComponent(pathValue) + " for reading";
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused just below.
    const int descriptor = ::open(pathValue.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return RawImageOpenResult::failed(refusal);
    // Judge the node actually opened, not the one examined earlier.
    struct stat attributes {};
    if (::fstat(descriptor, &attributes) != 0) {
        ::close(descriptor);
        return RawImageOpenResult::failed(refusal);
    }
    if (const auto reason = notAnImageReason(attributes.st_mode)) {
        ::close(descriptor);
        return RawImageOpenResult::failed(refusal + ": " + *reason);
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) (void)::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return RawImageOpenResult::opened(std::make_unique<FileRawImageStream>(descriptor));
}

FileRawImageStream::~FileRawImageStream() { close(); }

void FileRawImageStream::close() {
    if (descriptor < 0) return;
    (void)::close(descriptor);
    descriptor = -1;
}

RawImageReadResult FileRawImageStream::readSome(std::span<std::uint8_t> destination) {
    if (destination.empty()) return RawImageReadResult::bytes(0);
    // A closed stream must not read from a descriptor number the process may have reused.
    if (descriptor < 0) return RawImageReadResult::endOfStream();
    ssize_t got = 0;
    do {
        got = ::read(descriptor, destination.data(), destination.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) return RawImageReadResult::failed("read failed: " + currentErrnoText());
    if (got == 0) return RawImageReadResult::endOfStream();
    return RawImageReadResult::bytes(static_cast<std::int64_t>(got));
}

}  // namespace marlowick
