#pragma once
// A BlockDevice over a sparse file, for volumes far larger than memory. Test-only.
// Reads and writes are pread/pwrite at sector × sectorSize, with the same argument
// checks as every device. A write of nothing but zeros punches a hole instead: the
// range reads back as zeros exactly as after a pwrite, but multi-gigabyte zero fills
// cost neither time nor disk.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "Block/BlockDevice.hpp"

namespace marlowick::test {

class SparseFileBlockDevice final : public BlockDevice {
public:
    // Creates `path` (replacing any file there) as a hole of sectorCount × sectorSize bytes.
    // Throws std::invalid_argument for a geometry below one sector of one byte, and
    // std::runtime_error when the file cannot be made.
    static std::unique_ptr<SparseFileBlockDevice> create(const std::filesystem::path& path, int sectorSize,
                                                         std::int64_t sectorCount);
    ~SparseFileBlockDevice() override;
    SparseFileBlockDevice(const SparseFileBlockDevice&) = delete;
    SparseFileBlockDevice& operator=(const SparseFileBlockDevice&) = delete;

    [[nodiscard]] int sectorSize() const override { return sectorSizeValue; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectorCountValue; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override;
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override;
    [[nodiscard]] BlockFlushResult flush() override;
    void close() override;

    [[nodiscard]] int flushCount() const { return flushes; }
    [[nodiscard]] const std::filesystem::path& path() const { return filePath; }

private:
    SparseFileBlockDevice(std::filesystem::path path, int openFd, int sectorSize, std::int64_t sectorCount)
        : filePath(std::move(path)), fd(openFd), sectorSizeValue(sectorSize), sectorCountValue(sectorCount) {}

    std::filesystem::path filePath;
    int fd;
    int sectorSizeValue;
    std::int64_t sectorCountValue;
    bool closed = false;
    int flushes = 0;
};

// Copies bytes [offsetBytes, offsetBytes + lengthBytes) of a sparse file into a new sparse
// file, moving only the data extents, so a volume inside a 2 TiB image can be handed to
// a checker that takes no offset. Throws std::runtime_error on an I/O failure.
void copySparseSlice(const std::filesystem::path& source, std::int64_t offsetBytes, std::int64_t lengthBytes,
                     const std::filesystem::path& destination);

}  // namespace marlowick::test
