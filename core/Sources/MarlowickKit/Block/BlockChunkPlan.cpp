#include "Block/BlockChunkPlan.hpp"

#include <algorithm>

namespace marlowick::BlockChunkPlan {

std::vector<SectorChunk> chunk(std::int64_t startSector, std::int64_t totalSectors, std::int64_t maxChunkSectors) {
    std::vector<SectorChunk> chunks;
    if (totalSectors <= 0 || maxChunkSectors < 1) {
        return chunks;
    }
    chunks.reserve(static_cast<std::size_t>((totalSectors + maxChunkSectors - 1) / maxChunkSectors));
    std::int64_t next = startSector;
    std::int64_t remaining = totalSectors;
    while (remaining > 0) {
        const std::int64_t count = std::min(maxChunkSectors, remaining);
        chunks.push_back({next, count});
        next += count;
        remaining -= count;
    }
    return chunks;
}

}  // namespace marlowick::BlockChunkPlan
