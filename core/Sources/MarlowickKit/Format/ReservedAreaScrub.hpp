#pragma once
// Clears what a former layout left outside the new partition before a plain-drive
// format: sectors 1..2047 (boot loader images, a primary GPT, file-system signatures),
// and, for a new MBR drive, the last 33 sectors where a former backup GPT lives. Zeros
// are written in pieces of at most writeChunkSectors, with a cancellation poll before
// each piece. Problems become one note line.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Block/BlockDevice.hpp"

namespace marlowick::ReservedAreaScrub {

enum class StepOutcome { done, failed, cancelled };

enum class Tail {
    keep,            // the new GPT's backup copies go there
    clearBackupGpt,  // zeroed and read back: a stale backup GPT would be "repaired" back into place
};

// The last sectors a backup GPT occupies: 32 entry-array sectors and the header.
inline constexpr std::int64_t backupGptSectors = 33;

// writeChunkSectors ≥ 1; an empty isCancelled is never cancelled. `flush` runs between the
// tail's zeros and their read-back; it makes its own note and answers false on a failure,
// which fails the step. Needs a device of at least 2049 sectors.
[[nodiscard]] StepOutcome clear(BlockDevice& block, std::int64_t writeChunkSectors, Tail tail,
                                const std::function<bool()>& isCancelled, const std::function<bool()>& flush,
                                std::vector<std::string>& notes);

}  // namespace marlowick::ReservedAreaScrub
