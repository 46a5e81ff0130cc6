#include "Block/RawDiskSystemCalls.hpp"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace marlowick {

int RawDiskSystemCalls::open(const std::string& path, int flags) { return ::open(path.c_str(), flags); }

int RawDiskSystemCalls::stat(const std::string& path, struct ::stat& status) { return ::stat(path.c_str(), &status); }

ssize_t RawDiskSystemCalls::pread(int fd, void* buffer, std::size_t length, off_t offset) {
    return ::pread(fd, buffer, length, offset);
}

ssize_t RawDiskSystemCalls::pwrite(int fd, const void* buffer, std::size_t length, off_t offset) {
    return ::pwrite(fd, buffer, length, offset);
}

int RawDiskSystemCalls::fstat(int fd, struct ::stat& status) { return ::fstat(fd, &status); }

int RawDiskSystemCalls::fsync(int fd) { return ::fsync(fd); }

int RawDiskSystemCalls::close(int fd) { return ::close(fd); }

int RawDiskSystemCalls::directIoAlignment(int fd, bool isBlockDevice) {
    if (isBlockDevice) {
        int logicalBlockSize = 0;
        return ::ioctl(fd, BLKSSZGET, &logicalBlockSize) == 0 ? logicalBlockSize : 0;
    }
    struct ::statx status {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &status) != 0 || (status.stx_mask & STATX_DIOALIGN) == 0) {
        return 0;
    }
    return static_cast<int>(status.stx_dio_offset_align);
}

int RawDiskSystemCalls::enableDirectIo(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return -1;
    return ::fcntl(fd, F_SETFL, flags | O_DIRECT);
}

int RawDiskSystemCalls::blockDeviceSize(int fd, int& logicalBlockSize, std::uint64_t& byteSize) {
    if (::ioctl(fd, BLKSSZGET, &logicalBlockSize) != 0) return -1;
    return ::ioctl(fd, BLKGETSIZE64, &byteSize);
}

int RawDiskSystemCalls::dropCachedPages(int fd) {
    // posix_fadvise returns the error number instead of setting errno.
    const int error = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (error == 0) return 0;
    errno = error;
    return -1;
}

}  // namespace marlowick
