#pragma once
// A BlockDevice over a Linux block device node (or a regular file): positioned reads
// and writes in bounded chunks, fsync for flush. The caller supplies the geometry the
// drive reported; the device never asks the system for it.
//
// Read-write opens of a block device are exclusive (O_EXCL), so a disk with a mounted
// partition, or one another writer holds, is refused with EBUSY. Where the medium
// allows it, I/O is direct (O_DIRECT) so that a read-back shows what the medium holds,
// not the page cache; otherwise flush drops the cached pages after syncing.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "Block/AlignedBuffer.hpp"
#include "Block/BlockDevice.hpp"
#include "Block/RawDiskSystemCalls.hpp"

namespace marlowick {

class RawDiskBlockDevice final : public BlockDevice {
public:
    using OpenResult = std::variant<std::unique_ptr<RawDiskBlockDevice>, BlockError>;

    // The block device behind the open descriptor, as the kernel describes it now.
    struct OpenedNode {
        unsigned int major = 0;
        unsigned int minor = 0;
        int logicalSectorSize = 0;
        std::int64_t byteSize = 0;
        bool operator==(const OpenedNode&) const = default;
    };
    // The node, or why it cannot be described: closed, not a block device, a call failed.
    using OpenedNodeResult = std::variant<OpenedNode, std::string>;

    static constexpr int defaultMaxChunkSectors = 64;
    static constexpr int maxChunkSectorsLimit = 65535;

    // Refuses sectorCount < 1, sectorSize < 1, a chunk limit outside 1…65535 and a byte
    // size beyond int64 without opening anything. `calls` is the seam for tests; null
    // means the real system calls.
    [[nodiscard]] static OpenResult open(const std::string& path, int sectorSize, std::int64_t sectorCount,
                                         int maxChunkSectors, BlockAccessMode access,
                                         std::shared_ptr<RawDiskSystemCalls> calls = nullptr);

    RawDiskBlockDevice(const RawDiskBlockDevice&) = delete;
    RawDiskBlockDevice& operator=(const RawDiskBlockDevice&) = delete;
    // Closes the descriptor if close() was never called, so a forgotten device does not
    // keep its exclusive claim on the disk for the rest of the process.
    ~RawDiskBlockDevice() override;

    [[nodiscard]] int sectorSize() const override { return sectorSizeValue; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectorCountValue; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override;
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override;
    // With direct I/O, a page-aligned buffer goes to the kernel as it is; any other is
    // staged through the device's own aligned buffer, one chunk at a time.
    [[nodiscard]] BlockReadIntoResult readSectorsInto(std::int64_t startSector, std::span<std::uint8_t> into) override;
    [[nodiscard]] BlockWriteResult writeSectorsFrom(std::int64_t startSector,
                                                    std::span<const std::uint8_t> data) override;
    // fsync; an I/O error it reports is a failure (on Linux a failed buffered write
    // surfaces only here). Only a descriptor that cannot sync at all gives notHonoured.
    [[nodiscard]] BlockFlushResult flush() override;
    // Syncs (result ignored) and closes the descriptor once; later calls do nothing.
    void close() override;

    // Lets a caller that checked a disk by name make sure that the node it opened is that
    // disk: a node replaced between the check and the open shows another device number.
    [[nodiscard]] OpenedNodeResult openedNode() const;

    [[nodiscard]] const std::string& deviceLabel() const { return label; }
    [[nodiscard]] bool isReadOnly() const { return readOnly; }
    [[nodiscard]] bool isClosed() const { return closed; }
    [[nodiscard]] int maxChunkSectors() const { return maxChunk; }
    // True when reads and writes bypass the page cache.
    [[nodiscard]] bool usesDirectIo() const { return directIo; }

private:
    RawDiskBlockDevice(std::shared_ptr<RawDiskSystemCalls> calls, std::string path, int fd, int sectorSize,
                       std::int64_t sectorCount, int maxChunkSectors, bool readOnly, bool directIo);

    // Move one chunk between memory and the medium, continuing partial transfers.
    // Each returns the failure detail, or an empty text when the chunk is done.
    [[nodiscard]] std::string readChunk(std::uint8_t* into, std::int64_t chunkStart, std::int64_t chunkSectors);
    [[nodiscard]] std::string writeChunk(const std::uint8_t* from, std::int64_t chunkStart, std::int64_t chunkSectors);
    // `call(done, length, offset)` is one pread or pwrite of the bytes still missing.
    template <class Call>
    [[nodiscard]] std::string transferLoop(std::int64_t chunkStart, std::int64_t chunkSectors,
                                           const char* shortTransfer, Call call);
    // The aligned staging buffer direct I/O needs, grown to at least `bytes`.
    [[nodiscard]] std::uint8_t* stagingBuffer(std::size_t bytes);

    std::shared_ptr<RawDiskSystemCalls> calls;
    std::string label;
    int fd;
    int sectorSizeValue;
    std::int64_t sectorCountValue;
    int maxChunk;
    bool readOnly;
    bool directIo;
    bool closed = false;
    std::optional<AlignedBuffer> staging;
};

}  // namespace marlowick
