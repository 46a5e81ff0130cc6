#pragma once
// A read-only device for the fuzzers: the fuzzer's bytes are its first sectors, every
// sector after them reads as zeros, and it claims whatever size it is given, so that a
// few kilobytes of input can stand for a drive of any size without allocating it.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Block/BlockRequestChecks.hpp"

namespace marlowick::fuzz {

class FuzzBlockDevice final : public BlockDevice {
public:
    // Reads larger than this are refused as a device failure: the parsers under test never
    // need more, and a hostile size must not make the fuzzer allocate gigabytes.
    static constexpr std::int64_t maxReadBytes = 8 * 1024 * 1024;

    FuzzBlockDevice(std::span<const std::uint8_t> bytes, std::int64_t sectorCount, int sectorSize)
        : data(bytes), sectors(sectorCount), size(sectorSize) {}

    [[nodiscard]] int sectorSize() const override { return size; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectors; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override {
        if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectors)) return *error;
        if (sectorCount > maxReadBytes / size) return BlockError{BlockError::DeviceFailure{"read", "too large"}};
        std::vector<std::uint8_t> out(static_cast<std::size_t>(sectorCount * size), 0);
        const auto first = static_cast<std::uint64_t>(startSector) * static_cast<std::uint64_t>(size);
        if (first < data.size()) {
            const std::size_t available = std::min<std::size_t>(out.size(), data.size() - first);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(first), available, out.begin());
        }
        return BlockReadSuccess{std::move(out)};
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t, const std::vector<std::uint8_t>&) override {
        return BlockError{BlockError::DeviceFailure{"write", "the fuzzed device is read-only"}};
    }
    [[nodiscard]] BlockFlushResult flush() override { return BlockFlushSuccess{}; }
    void close() override { closed = true; }

private:
    std::span<const std::uint8_t> data;
    std::int64_t sectors;
    int size;
    bool closed = false;
};

// Reads a little-endian number of `width` bytes from the front of `bytes` and drops them.
inline std::uint64_t take(std::span<const std::uint8_t>& bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width && !bytes.empty(); ++i) {
        value |= std::uint64_t{bytes.front()} << (8 * i);
        bytes = bytes.subspan(1);
    }
    return value;
}

}  // namespace marlowick::fuzz
