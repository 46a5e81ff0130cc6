#include "Block/BlockRequestChecks.hpp"

namespace marlowick::BlockRequestChecks {
namespace {

// Compares start + count with the device's end without overflowing on hostile counts.
bool passesEnd(std::int64_t startSector, std::int64_t sectorCount, std::int64_t deviceSectorCount) {
    return startSector > deviceSectorCount || sectorCount > deviceSectorCount - startSector;
}

}  // namespace

std::optional<BlockError> read(bool closed, std::int64_t startSector, std::int64_t sectorCount,
                               std::int64_t deviceSectorCount) {
    if (closed) return BlockError{BlockError::Closed{"read"}};
    if (sectorCount < 1) return BlockError{BlockError::InvalidSectorCount{sectorCount}};
    if (startSector < 0) return BlockError{BlockError::NegativeSector{startSector}};
    if (passesEnd(startSector, sectorCount, deviceSectorCount)) {
        return BlockError{BlockError::OutOfBounds{startSector, sectorCount, deviceSectorCount}};
    }
    return std::nullopt;
}

std::optional<BlockError> write(bool closed, std::size_t length, int sectorSize, std::int64_t startSector,
                                std::int64_t deviceSectorCount) {
    if (closed) return BlockError{BlockError::Closed{"write"}};
    const auto byteLength = static_cast<std::int64_t>(length);
    if (length == 0 || sectorSize < 1 || byteLength % sectorSize != 0) {
        return BlockError{BlockError::MisalignedLength{byteLength, sectorSize}};
    }
    if (startSector < 0) return BlockError{BlockError::NegativeSector{startSector}};
    const std::int64_t sectorCount = byteLength / sectorSize;
    if (passesEnd(startSector, sectorCount, deviceSectorCount)) {
        return BlockError{BlockError::OutOfBounds{startSector, sectorCount, deviceSectorCount}};
    }
    return std::nullopt;
}

}  // namespace marlowick::BlockRequestChecks
