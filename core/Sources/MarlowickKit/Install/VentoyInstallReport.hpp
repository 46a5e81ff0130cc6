#pragma once
// What a Ventoy install or update did, step by step. A step flag that is absent means
// the step was never reached; false means it ran and failed.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Block/DriveOperationReport.hpp"
#include "Install/InstallStage.hpp"

namespace marlowick {

struct VentoyInstallReport {
    std::string version;  // the release manifest's version
    int sectorSize = 0;
    std::int64_t sectorCount = 0;
    std::int64_t capacityBytes = 0;  // sectorCount × sectorSize
    std::int64_t part1StartSector = 0;
    std::int64_t part1SectorCount = 0;
    std::int64_t part2StartSector = 0;
    std::int64_t part2SectorCount = 0;
    std::int64_t diskSignature = 0;  // the 32-bit signature used, sign-extended
    std::string volumeLabel;         // "(unchanged)" for an update
    bool formatPerformed = false;    // true for a fresh install, false for an update
    std::optional<bool> mbrWriteOk;
    std::optional<bool> mbrVerifyOk;
    std::optional<bool> coreWriteOk;
    std::optional<bool> coreVerifyOk;  // the hash check and the blocklist patch
    std::optional<bool> formatOk;
    std::optional<std::int64_t> clusterCount;
    std::optional<std::int64_t> clusterSizeBytes;
    std::optional<bool> ventoyDiskWriteOk;
    std::optional<bool> ventoyDiskVerifyOk;
    std::optional<bool> flushOk;  // the most recent device flush
    std::optional<InstallStage> cancelledAtStage;
    std::vector<std::string> notes;

    [[nodiscard]] bool wasCancelled() const { return cancelledAtStage.has_value(); }
    // Every step done and not cancelled; an update formats nothing, so it needs no formatOk.
    [[nodiscard]] bool overallSuccess() const {
        const auto done = [](const std::optional<bool>& flag) { return flag.value_or(false); };
        return !wasCancelled() && done(mbrWriteOk) && done(mbrVerifyOk) && done(coreWriteOk) && done(coreVerifyOk) &&
               (done(formatOk) || !formatPerformed) && done(ventoyDiskWriteOk) && done(ventoyDiskVerifyOk) &&
               done(flushOk);
    }

    bool operator==(const VentoyInstallReport&) const = default;
};

static_assert(DriveOperationReport<VentoyInstallReport>);

// Every field as "label: value" pairs, absent values as none:
// "VentoyInstallReport(version: \"1.1.17\", sectorSize: 512, …, mbrWriteOk: true, formatOk: none, …)"
[[nodiscard]] std::string render(const VentoyInstallReport& report);
void PrintTo(const VentoyInstallReport& report, std::ostream* os);

}  // namespace marlowick
