#pragma once
// The argument checks every BlockDevice runs, in the order that decides which error wins.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "Block/BlockError.hpp"

namespace marlowick::BlockRequestChecks {

// closed, then count < 1, then start < 0, then start + count past the end.
[[nodiscard]] std::optional<BlockError> read(bool closed, std::int64_t startSector, std::int64_t sectorCount,
                                             std::int64_t deviceSectorCount);

// closed, then empty or not whole sectors, then start < 0, then past the end.
[[nodiscard]] std::optional<BlockError> write(bool closed, std::size_t length, int sectorSize,
                                              std::int64_t startSector, std::int64_t deviceSectorCount);

}  // namespace marlowick::BlockRequestChecks
