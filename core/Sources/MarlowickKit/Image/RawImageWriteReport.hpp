#pragma once
// What a raw image write did, step by step. A step flag that is absent means the step
// never ran; false means it ran and failed, and the last note says why.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "Text/RawValueTable.hpp"
#include "Block/DriveOperationReport.hpp"
#include "Block/DriveOperationResult.hpp"

namespace marlowick {

enum class RawWriteStage { write, flush, verify };
inline constexpr RawValueTable<RawWriteStage, 3> rawWriteStageRawValues{{"write", "flush", "verify"}};

// How far a successful read-back can be trusted: against the medium, or possibly against
// the drive's cache because the drive did not confirm the flush.
enum class RawWriteVerification { medium, cacheUncertain, none };
inline constexpr RawValueTable<RawWriteVerification, 3> rawWriteVerificationRawValues{
    {"medium", "cacheUncertain", "none"}};

struct RawImageWriteReport {
    std::int64_t sectorSize = 0;
    std::int64_t sectorCount = 0;
    std::int64_t capacityBytes = 0;
    std::int64_t imageBytes = 0;      // image bytes read and written, padding not counted
    std::int64_t sectorsWritten = 0;  // the zero-padded last sector included
    std::optional<std::string> imageSha256;  // set only when the write stage completed
    bool verifyPerformed = false;            // read-back was requested
    std::optional<bool> writeOk;
    std::optional<bool> verifyOk;
    std::optional<bool> flushOk;
    std::optional<bool> flushHonoured;
    std::optional<RawWriteStage> cancelledAtStage;
    std::vector<std::string> notes;

    [[nodiscard]] bool wasCancelled() const { return cancelledAtStage.has_value(); }
    [[nodiscard]] bool overallSuccess() const {
        return !wasCancelled() && writeOk.value_or(false) && flushOk.value_or(false) &&
               (!verifyPerformed || verifyOk.value_or(false));
    }
    [[nodiscard]] RawWriteVerification verification() const {
        if (!verifyOk.value_or(false)) return RawWriteVerification::none;
        return flushHonoured.value_or(false) ? RawWriteVerification::medium : RawWriteVerification::cacheUncertain;
    }
    [[nodiscard]] bool verifiedAgainstMedium() const { return verifyOk.value_or(false) && flushHonoured.value_or(false); }
    [[nodiscard]] std::int64_t paddingBytes() const { return sectorsWritten * sectorSize - imageBytes; }

    bool operator==(const RawImageWriteReport&) const = default;
};

static_assert(DriveOperationReport<RawImageWriteReport>);

using RawImageWriteResult = DriveOperationResult<RawImageWriteReport>;

// For test output: "aborted(reason: \"image is empty (0 bytes)\")", or the report's flags and notes.
void PrintTo(const RawImageWriteResult& result, std::ostream* os);

}  // namespace marlowick
