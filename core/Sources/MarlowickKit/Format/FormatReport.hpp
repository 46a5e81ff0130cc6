#pragma once
// What a plain-drive format did, step by step. A step flag that is absent means the
// step never ran; false means it ran and failed.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Block/DriveOperationReport.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick {

// For a GPT drive writeMbr and verifyMbr stand for writing and checking the whole GPT.
enum class FormatStage { layout, writeMbr, verifyMbr, scrubReserved, format, verifyFormat, flush };

inline constexpr std::array<FormatStage, 7> allFormatStages{
    FormatStage::layout, FormatStage::writeMbr,     FormatStage::verifyMbr, FormatStage::scrubReserved,
    FormatStage::format, FormatStage::verifyFormat, FormatStage::flush};

[[nodiscard]] std::string_view rawValue(FormatStage stage);

struct FormatReport {
    DriveFilesystem filesystem = DriveFilesystem::exfat;
    PartitionStyle partitionStyle = PartitionStyle::mbr;
    int sectorSize = 0;
    std::int64_t sectorCount = 0;
    std::int64_t capacityBytes = 0;
    std::int64_t partitionStartSector = 0;
    std::int64_t partitionSectorCount = 0;
    std::int64_t diskSignature = 0;  // the requested signature, sign-extended
    std::string volumeLabel;
    std::optional<bool> mbrWriteOk;
    std::optional<bool> mbrVerifyOk;
    std::optional<bool> scrubOk;
    std::optional<bool> formatOk;
    std::optional<bool> formatVerifyOk;
    std::optional<std::int64_t> clusterCount;
    std::optional<std::int64_t> clusterSizeBytes;
    std::optional<bool> flushOk;
    std::optional<FormatStage> cancelledAtStage;
    std::vector<std::string> notes;

    [[nodiscard]] bool wasCancelled() const { return cancelledAtStage.has_value(); }
    [[nodiscard]] bool overallSuccess() const {
        const auto done = [](const std::optional<bool>& flag) { return flag.value_or(false); };
        return !wasCancelled() && done(mbrWriteOk) && done(mbrVerifyOk) && done(scrubOk) && done(formatOk) &&
               done(formatVerifyOk) && done(flushOk);
    }

    bool operator==(const FormatReport&) const = default;
};

static_assert(DriveOperationReport<FormatReport>);

}  // namespace marlowick
