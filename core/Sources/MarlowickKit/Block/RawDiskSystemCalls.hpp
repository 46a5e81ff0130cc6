#pragma once
// The system calls a raw disk device makes, gathered behind one seam. The base class
// makes the real calls; tests derive from it to inject faults (a failing pread, a
// short write, an fsync that reports EIO) and delegate the rest.
//
// Every call follows the POSIX convention: −1 (or a negative count) with errno set
// on failure, so the device can take the errno text right after the call.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace marlowick {

class RawDiskSystemCalls {
public:
    virtual ~RawDiskSystemCalls() = default;

    virtual int open(const std::string& path, int flags);
    virtual int stat(const std::string& path, struct ::stat& status);
    virtual ssize_t pread(int fd, void* buffer, std::size_t length, off_t offset);
    virtual ssize_t pwrite(int fd, const void* buffer, std::size_t length, off_t offset);
    virtual int fstat(int fd, struct ::stat& status);
    virtual int fsync(int fd);
    virtual int close(int fd);

    // The byte alignment direct I/O needs on this descriptor (offsets, lengths), or 0
    // when the file or its file system cannot do direct I/O.
    virtual int directIoAlignment(int fd, bool isBlockDevice);
    // Switches the open descriptor to O_DIRECT.
    virtual int enableDirectIo(int fd);
    // BLKSSZGET and BLKGETSIZE64: the logical block size and the byte size of a block device.
    virtual int blockDeviceSize(int fd, int& logicalBlockSize, std::uint64_t& byteSize);
    // Drops the clean cached pages of the descriptor's file, so the next read reaches the medium.
    virtual int dropCachedPages(int fd);
};

}  // namespace marlowick
