#pragma once
// A BlockDevice that keeps only the sectors written to it, so a test can work on a
// drive of realistic size (a 32 GB geometry) without the memory. Unwritten sectors read
// as zero. It records every write, can be told to fail from the n-th write on, and can
// dump itself into a sparse file for the outside checkers (sfdisk, sgdisk).

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "Block/BlockDevice.hpp"

namespace marlowick::test {

class SparseBlockDevice final : public BlockDevice {
public:
    struct Write {
        std::int64_t startSector;
        std::int64_t sectorCount;
        bool operator==(const Write&) const = default;
    };

    SparseBlockDevice(std::int64_t sectorCount, int sectorSize);

    [[nodiscard]] int sectorSize() const override { return sectorSizeValue; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectorCountValue; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override;
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override;
    [[nodiscard]] BlockFlushResult flush() override;
    void close() override { closed = true; }

    // Successful writes, in order (a failed write is not listed).
    [[nodiscard]] const std::vector<Write>& writes() const { return writeLog; }
    // Write calls from number `index` (0-based) on fail with `error` and change nothing.
    void failWritesFrom(std::size_t index, BlockError error);
    // Reads that touch `sector` fail with `error`.
    void failReadsOf(std::int64_t sector, BlockError error);
    // One sector's bytes, created as zeros when never written; for corrupting the medium.
    [[nodiscard]] std::vector<std::uint8_t>& sector(std::int64_t index);
    [[nodiscard]] const std::map<std::int64_t, std::vector<std::uint8_t>>& writtenSectors() const { return sectors; }
    // A sparse file of the whole geometry holding the written sectors at their offsets.
    void dumpTo(const std::filesystem::path& path) const;

private:
    std::int64_t sectorCountValue;
    int sectorSizeValue;
    std::map<std::int64_t, std::vector<std::uint8_t>> sectors;
    std::vector<Write> writeLog;
    std::size_t writeCalls = 0;
    std::optional<std::pair<std::size_t, BlockError>> writeFailure;
    std::optional<std::pair<std::int64_t, BlockError>> readFailure;
    bool closed = false;
};

}  // namespace marlowick::test
