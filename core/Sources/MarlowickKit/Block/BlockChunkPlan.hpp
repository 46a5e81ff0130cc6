#pragma once
// Splits a long transfer into contiguous, ascending chunks of at most maxChunkSectors.
// Callers validate the arguments first: start ≥ 0, total ≥ 0, maxChunkSectors ≥ 1.

#include <cstdint>
#include <vector>

namespace marlowick::BlockChunkPlan {

struct SectorChunk {
    std::int64_t startSector = 0;
    std::int64_t sectorCount = 0;
    bool operator==(const SectorChunk&) const = default;
};

[[nodiscard]] std::vector<SectorChunk> chunk(std::int64_t startSector, std::int64_t totalSectors,
                                             std::int64_t maxChunkSectors);

}  // namespace marlowick::BlockChunkPlan
