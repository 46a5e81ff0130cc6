#pragma once
// A BlockDevice over a sparse file: sectors never written cost no disk space, so tests can
// format volumes of terabytes and hand the file to outside checkers. Reads and writes go
// through pread and pwrite with the same argument checks as every other device.

#include <cstdint>
#include <filesystem>

#include "Block/BlockDevice.hpp"

namespace marlowick::test {

class SparseFileBlockDevice final : public BlockDevice {
public:
    // Creates (or truncates) `path` as a sparse file of sectorCount × sectorSize bytes.
    // Throws std::runtime_error when the file cannot be made.
    SparseFileBlockDevice(const std::filesystem::path& path, std::int64_t sectorCount, int sectorSize);
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

    [[nodiscard]] const std::filesystem::path& path() const { return filePath; }

private:
    std::filesystem::path filePath;
    std::int64_t sectorCountValue;
    int sectorSizeValue;
    int fd = -1;
};

}  // namespace marlowick::test
