#include "Format/ReservedAreaScrub.hpp"

#include <algorithm>

#include "Block/BlockChunkPlan.hpp"
#include "Layout/SingleVolumeLayoutCalculator.hpp"

namespace marlowick::ReservedAreaScrub {
namespace {

constexpr std::int64_t gapStart = 1;
constexpr std::int64_t gapSectors = SingleVolumeLayoutCalculator::partitionStartSector - gapStart;

// Writes zeros over [start, start + count) piece by piece. One zero buffer serves every
// full piece; only a shorter one gets its own.
StepOutcome zeroRange(BlockDevice& block, std::int64_t start, std::int64_t count, std::int64_t writeChunkSectors,
                      const std::function<bool()>& isCancelled, const char* what, std::vector<std::string>& notes) {
    const auto sectorBytes = static_cast<std::size_t>(block.sectorSize());
    const std::int64_t fullPiece = std::min(count, writeChunkSectors);
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(fullPiece) * sectorBytes, 0);
    for (const BlockChunkPlan::SectorChunk& piece : BlockChunkPlan::chunk(start, count, writeChunkSectors)) {
        if (isCancelled && isCancelled()) return StepOutcome::cancelled;
        const BlockWriteResult result =
            piece.sectorCount == fullPiece
                ? block.writeSectors(piece.startSector, zeros)
                : block.writeSectors(piece.startSector,
                                     std::vector<std::uint8_t>(static_cast<std::size_t>(piece.sectorCount) * sectorBytes, 0));
        if (const auto* error = std::get_if<BlockError>(&result)) {
            notes.push_back(std::string(what) + " failed at sector " + std::to_string(piece.startSector) + ": " +
                            render(*error));
            return StepOutcome::failed;
        }
    }
    return StepOutcome::done;
}

// The zeroed tail is flushed and read back: a device that drops the write would leave the
// stale backup GPT for the next tool to find. Without the flush, a buffered device would
// answer the read from the page cache, not from the medium.
StepOutcome clearBackupGpt(BlockDevice& block, std::int64_t writeChunkSectors, const std::function<bool()>& isCancelled,
                           const std::function<bool()>& flush, std::vector<std::string>& notes) {
    const std::int64_t start = std::max<std::int64_t>(gapStart, block.sectorCount() - backupGptSectors);
    const std::int64_t count = block.sectorCount() - start;
    const StepOutcome written =
        zeroRange(block, start, count, writeChunkSectors, isCancelled, "backup GPT area scrub", notes);
    if (written != StepOutcome::done) return written;
    if (!flush()) return StepOutcome::failed;
    const BlockReadResult readBack = block.readSectors(start, count);
    if (const auto* error = std::get_if<BlockError>(&readBack)) {
        notes.push_back("backup GPT area read-back failed: " + render(*error));
        return StepOutcome::failed;
    }
    const std::vector<std::uint8_t>& data = std::get<BlockReadSuccess>(readBack).data;
    if (std::any_of(data.begin(), data.end(), [](std::uint8_t b) { return b != 0; })) {
        notes.emplace_back("backup GPT area read-back was not all zeros");
        return StepOutcome::failed;
    }
    return StepOutcome::done;
}

}  // namespace

StepOutcome clear(BlockDevice& block, std::int64_t writeChunkSectors, Tail tail,
                  const std::function<bool()>& isCancelled, const std::function<bool()>& flush,
                  std::vector<std::string>& notes) {
    const StepOutcome gap =
        zeroRange(block, gapStart, gapSectors, writeChunkSectors, isCancelled, "reserved-gap scrub", notes);
    if (gap != StepOutcome::done || tail == Tail::keep) return gap;
    return clearBackupGpt(block, writeChunkSectors, isCancelled, flush, notes);
}

}  // namespace marlowick::ReservedAreaScrub
