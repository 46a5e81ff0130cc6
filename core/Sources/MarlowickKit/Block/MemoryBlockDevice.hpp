#pragma once
// A BlockDevice over a zero-filled byte array, with the same checks as a raw disk.
// Used to build and exercise partition, format and detection code without hardware.

#include <cstdint>
#include <vector>

#include "Block/BlockDevice.hpp"

namespace marlowick {

class MemoryBlockDevice final : public BlockDevice {
public:
    // Limits the caller respects: sectorCount ≥ 1, sectorSize ≥ 1, and the byte size fits
    // in memory. Out-of-range geometry throws std::invalid_argument (no command builds one).
    MemoryBlockDevice(std::int64_t sectorCount, int sectorSize);

    [[nodiscard]] int sectorSize() const override { return sectorSizeValue; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectorCountValue; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override;
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override;
    [[nodiscard]] BlockReadIntoResult readSectorsInto(std::int64_t startSector, std::span<std::uint8_t> into) override;
    [[nodiscard]] BlockWriteResult writeSectorsFrom(std::int64_t startSector,
                                                    std::span<const std::uint8_t> data) override;
    [[nodiscard]] BlockFlushResult flush() override;
    void close() override { closed = true; }

    [[nodiscard]] int flushCount() const { return flushes; }
    [[nodiscard]] bool isClosed() const { return closed; }
    // The whole medium, for tests that dump it to a file for outside checkers.
    [[nodiscard]] const std::vector<std::uint8_t>& bytes() const { return storage; }
    [[nodiscard]] std::vector<std::uint8_t>& mutableBytes() { return storage; }

private:
    std::int64_t sectorCountValue;
    int sectorSizeValue;
    std::vector<std::uint8_t> storage;
    bool closed = false;
    int flushes = 0;
};

}  // namespace marlowick
