#include "Block/RawDiskBlockDevice.hpp"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "Block/BlockChunkPlan.hpp"
#include "Block/BlockRequestChecks.hpp"
#include "Text/ErrnoText.hpp"

namespace marlowick {
namespace {

BlockError failure(const std::string& operation, std::string detail) {
    return BlockError{BlockError::DeviceFailure{operation, std::move(detail)}};
}

// Answers of fsync that mean "this descriptor cannot be synced", not "the data was lost".
bool syncIsUnsupported(int errorNumber) {
    return errorNumber == EINVAL || errorNumber == ENOTSUP || errorNumber == EOPNOTSUPP || errorNumber == EROFS;
}

}  // namespace

RawDiskBlockDevice::OpenResult RawDiskBlockDevice::open(const std::string& path, int sectorSize,
                                                        std::int64_t sectorCount, int maxChunkSectors,
                                                        BlockAccessMode access,
                                                        std::shared_ptr<RawDiskSystemCalls> calls) {
    const auto refuse = [&path](const std::string& reason) { return failure("open", "open " + path + ": " + reason); };
    if (sectorCount < 1) return BlockError{BlockError::InvalidSectorCount{sectorCount}};
    if (sectorSize < 1) return refuse("sector size " + std::to_string(sectorSize) + " is below 1");
    if (maxChunkSectors < 1 || maxChunkSectors > maxChunkSectorsLimit) {
        return refuse("chunk limit " + std::to_string(maxChunkSectors) + " is outside 1 to " +
                      std::to_string(maxChunkSectorsLimit));
    }
    if (sectorCount > std::numeric_limits<std::int64_t>::max() / sectorSize) {
        return refuse(std::to_string(sectorCount) + " sectors of " + std::to_string(sectorSize) +
                      " bytes do not fit in a 64-bit byte size");
    }
    if (!calls) calls = std::make_shared<RawDiskSystemCalls>();

    const bool readOnly = access == BlockAccessMode::readOnly;
    struct ::stat status {};
    const bool isBlockDevice = calls->stat(path, status) == 0 && S_ISBLK(status.st_mode);
    int flags = (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    // O_EXCL on a block device: the kernel refuses the open while a file system is
    // mounted on the disk or one of its partitions, or another exclusive writer holds it.
    if (!readOnly && isBlockDevice) flags |= O_EXCL;
    const int fd = calls->open(path, flags);
    if (fd < 0) {
        const std::string reason = currentErrnoText();
        return refuse(reason);
    }

    // O_DIRECT: a page-cache hit would verify our own buffer, not the medium. It needs
    // whole logical blocks, so a sector size that is not a multiple of them stays buffered.
    const int alignment = calls->directIoAlignment(fd, isBlockDevice);
    const bool directIo = alignment > 0 && static_cast<std::size_t>(alignment) <= AlignedBuffer::alignment &&
                          sectorSize % alignment == 0 && calls->enableDirectIo(fd) == 0;
    return std::unique_ptr<RawDiskBlockDevice>(new RawDiskBlockDevice(
        std::move(calls), path, fd, sectorSize, sectorCount, maxChunkSectors, readOnly, directIo));
}

RawDiskBlockDevice::RawDiskBlockDevice(std::shared_ptr<RawDiskSystemCalls> systemCalls, std::string path, int descriptor,
                                       int sectorSize, std::int64_t sectorCount, int maxChunkSectors, bool isReadOnly,
                                       bool isDirect)
    : calls(std::move(systemCalls)),
      label(std::move(path)),
      fd(descriptor),
      sectorSizeValue(sectorSize),
      sectorCountValue(sectorCount),
      maxChunk(maxChunkSectors),
      readOnly(isReadOnly),
      directIo(isDirect) {}

RawDiskBlockDevice::~RawDiskBlockDevice() { close(); }

RawDiskBlockDevice::OpenedNodeResult RawDiskBlockDevice::openedNode() const {
    if (closed) return std::string("the device is closed");
    struct ::stat status {};
    if (calls->fstat(fd, status) != 0) {
        const std::string reason = currentErrnoText();
        return "fstat on " + label + ": " + reason;
    }
    if (!S_ISBLK(status.st_mode)) return label + " is not a block device";
    int logicalSectorSize = 0;
    std::uint64_t byteSize = 0;
    if (calls->blockDeviceSize(fd, logicalSectorSize, byteSize) != 0) {
        const std::string reason = currentErrnoText();
        return "size query on " + label + ": " + reason;
    }
    if (byteSize > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return label + " reports " + std::to_string(byteSize) + " bytes, beyond a 64-bit byte size";
    }
    return OpenedNode{major(status.st_rdev), minor(status.st_rdev), logicalSectorSize,
                      static_cast<std::int64_t>(byteSize)};
}

BlockReadResult RawDiskBlockDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectorCountValue)) {
        return *error;
    }
    const std::int64_t totalBytes = sectorCount * sectorSizeValue;
    std::vector<std::uint8_t> data;
    try {
        data.resize(static_cast<std::size_t>(totalBytes));
    } catch (const std::bad_alloc&) {
        return failure("read", "lba " + std::to_string(startSector) + ": cannot allocate " +
                                   std::to_string(totalBytes) + " bytes");
    }
    BlockReadIntoResult read = readSectorsInto(startSector, data);
    if (auto* error = std::get_if<BlockError>(&read)) return std::move(*error);
    return BlockReadSuccess{std::move(data)};
}

BlockReadIntoResult RawDiskBlockDevice::readSectorsInto(std::int64_t startSector, std::span<std::uint8_t> into) {
    if (closed) return BlockError{BlockError::Closed{"read"}};
    const auto length = static_cast<std::int64_t>(into.size());
    if (length % sectorSizeValue != 0) return BlockError{BlockError::MisalignedLength{length, sectorSizeValue}};
    const std::int64_t sectorCount = length / sectorSizeValue;
    if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectorCountValue)) {
        return *error;
    }
    for (const auto& chunk : BlockChunkPlan::chunk(startSector, sectorCount, maxChunk)) {
        std::uint8_t* position = into.data() + (chunk.startSector - startSector) * sectorSizeValue;
        std::string problem = readChunk(position, chunk.startSector, chunk.sectorCount);
        if (!problem.empty()) return failure("read", std::move(problem));
    }
    return BlockReadIntoSuccess{sectorCount};
}

BlockWriteResult RawDiskBlockDevice::writeSectors(std::int64_t startSector, const std::vector<std::uint8_t>& data) {
    return writeSectorsFrom(startSector, data);
}

BlockWriteResult RawDiskBlockDevice::writeSectorsFrom(std::int64_t startSector, std::span<const std::uint8_t> data) {
    if (closed) return BlockError{BlockError::Closed{"write"}};
    if (readOnly) return failure("write", "device opened read-only");
    if (auto error = BlockRequestChecks::write(closed, data.size(), sectorSizeValue, startSector, sectorCountValue)) {
        return *error;
    }
    const std::int64_t sectorCount = static_cast<std::int64_t>(data.size()) / sectorSizeValue;
    for (const auto& chunk : BlockChunkPlan::chunk(startSector, sectorCount, maxChunk)) {
        const std::uint8_t* position = data.data() + (chunk.startSector - startSector) * sectorSizeValue;
        std::string problem = writeChunk(position, chunk.startSector, chunk.sectorCount);
        if (!problem.empty()) return failure("write", std::move(problem));
    }
    return BlockWriteSuccess{sectorCount};
}

std::string RawDiskBlockDevice::readChunk(std::uint8_t* into, std::int64_t chunkStart, std::int64_t chunkSectors) {
    const auto chunkBytes = static_cast<std::size_t>(chunkSectors * sectorSizeValue);
    std::uint8_t* buffer = into;
    if (directIo && !AlignedBuffer::isAligned(into) && (buffer = stagingBuffer(chunkBytes)) == nullptr) {
        return "lba " + std::to_string(chunkStart) + ": cannot allocate " + std::to_string(chunkBytes) + " aligned bytes";
    }
    std::string problem = transferLoop(chunkStart, chunkSectors, ": short read, got ",
                                       [&](std::size_t done, std::size_t length, off_t offset) {
                                           return calls->pread(fd, buffer + done, length, offset);
                                       });
    if (problem.empty() && buffer != into) std::memcpy(into, buffer, chunkBytes);
    return problem;
}

std::string RawDiskBlockDevice::writeChunk(const std::uint8_t* from, std::int64_t chunkStart,
                                           std::int64_t chunkSectors) {
    const auto chunkBytes = static_cast<std::size_t>(chunkSectors * sectorSizeValue);
    const std::uint8_t* source = from;
    if (directIo && !AlignedBuffer::isAligned(from)) {
        std::uint8_t* aligned = stagingBuffer(chunkBytes);
        if (aligned == nullptr) {
            return "lba " + std::to_string(chunkStart) + ": cannot allocate " + std::to_string(chunkBytes) +
                   " aligned bytes";
        }
        std::memcpy(aligned, from, chunkBytes);
        source = aligned;
    }
    return transferLoop(chunkStart, chunkSectors, ": short write, wrote ",
                        [&](std::size_t done, std::size_t length, off_t offset) {
                            return calls->pwrite(fd, source + done, length, offset);
                        });
}

template <class Call>
std::string RawDiskBlockDevice::transferLoop(std::int64_t chunkStart, std::int64_t chunkSectors,
                                             const char* shortTransfer, Call call) {
    const std::int64_t chunkBytes = chunkSectors * sectorSizeValue;
    const off_t chunkOffset = chunkStart * sectorSizeValue;
    std::int64_t done = 0;
    while (done < chunkBytes) {
        // Interrupted calls are not retried: any failure ends the transfer.
        const ssize_t moved =
            call(static_cast<std::size_t>(done), static_cast<std::size_t>(chunkBytes - done), chunkOffset + done);
        if (moved < 0) {
            const std::string reason = currentErrnoText();
            return "lba " + std::to_string(chunkStart) + ": " + reason;
        }
        if (moved == 0) {
            return "lba " + std::to_string(chunkStart) + " count " + std::to_string(chunkSectors) + shortTransfer +
                   std::to_string(done) + "/" + std::to_string(chunkBytes) + " bytes";
        }
        done += moved;
    }
    return {};
}

std::uint8_t* RawDiskBlockDevice::stagingBuffer(std::size_t bytes) {
    if (!staging || staging->bytes().size() < bytes) staging = AlignedBuffer::allocate(bytes);
    return staging ? staging->bytes().data() : nullptr;
}

BlockFlushResult RawDiskBlockDevice::flush() {
    if (closed) return BlockError{BlockError::Closed{"flush"}};
    if (calls->fsync(fd) != 0) {
        const int errorNumber = errno;
        std::string detail = "fsync on " + label + ": " + errnoText(errorNumber);
        if (syncIsUnsupported(errorNumber)) return BlockFlushNotHonoured{std::move(detail)};
        return failure("flush", std::move(detail));
    }
    // Without direct I/O the synced pages stay cached; drop them so a read-back
    // after this flush reaches the medium.
    if (!directIo && calls->dropCachedPages(fd) != 0) {
        const std::string reason = currentErrnoText();
        return BlockFlushNotHonoured{"posix_fadvise(DONTNEED) on " + label + ": " + reason};
    }
    return BlockFlushSuccess{};
}

void RawDiskBlockDevice::close() {
    if (closed) return;
    closed = true;
    (void)calls->fsync(fd);
    (void)calls->close(fd);
}

}  // namespace marlowick
