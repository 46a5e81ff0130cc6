#include "Block/MemoryBlockDevice.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "Block/BlockRequestChecks.hpp"

namespace marlowick {
namespace {

std::size_t checkedByteSize(std::int64_t sectorCount, int sectorSize) {
    if (sectorCount < 1 || sectorSize < 1 ||
        sectorCount > std::numeric_limits<std::int64_t>::max() / sectorSize) {
        throw std::invalid_argument("MemoryBlockDevice: invalid geometry");
    }
    return static_cast<std::size_t>(sectorCount * sectorSize);
}

}  // namespace

MemoryBlockDevice::MemoryBlockDevice(std::int64_t sectorCount, int sectorSize)
    : sectorCountValue(sectorCount),
      sectorSizeValue(sectorSize),
      storage(checkedByteSize(sectorCount, sectorSize), 0) {}

BlockReadResult MemoryBlockDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectorCountValue)) {
        return *error;
    }
    const auto begin = storage.begin() + startSector * sectorSizeValue;
    return BlockReadSuccess{std::vector<std::uint8_t>(begin, begin + sectorCount * sectorSizeValue)};
}

BlockWriteResult MemoryBlockDevice::writeSectors(std::int64_t startSector, const std::vector<std::uint8_t>& data) {
    return writeSectorsFrom(startSector, data);
}

BlockReadIntoResult MemoryBlockDevice::readSectorsInto(std::int64_t startSector, std::span<std::uint8_t> into) {
    const auto length = static_cast<std::int64_t>(into.size());
    if (closed) return BlockError{BlockError::Closed{"read"}};
    if (length % sectorSizeValue != 0) return BlockError{BlockError::MisalignedLength{length, sectorSizeValue}};
    const std::int64_t sectorCount = length / sectorSizeValue;
    if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectorCountValue)) return *error;
    std::copy_n(storage.begin() + startSector * sectorSizeValue, into.size(), into.begin());
    return BlockReadIntoSuccess{sectorCount};
}

BlockWriteResult MemoryBlockDevice::writeSectorsFrom(std::int64_t startSector, std::span<const std::uint8_t> data) {
    if (auto error = BlockRequestChecks::write(closed, data.size(), sectorSizeValue, startSector, sectorCountValue)) {
        return *error;
    }
    std::copy(data.begin(), data.end(), storage.begin() + startSector * sectorSizeValue);
    return BlockWriteSuccess{static_cast<std::int64_t>(data.size()) / sectorSizeValue};
}

BlockFlushResult MemoryBlockDevice::flush() {
    if (closed) return BlockError{BlockError::Closed{"flush"}};
    ++flushes;
    return BlockFlushSuccess{};
}

}  // namespace marlowick
