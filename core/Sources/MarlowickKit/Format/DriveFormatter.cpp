#include "Format/DriveFormatter.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "Exfat/DefaultExfatFormatter.hpp"
#include "Format/FormatReadBack.hpp"
#include "Format/ReservedAreaScrub.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Layout/SingleVolumeLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t partitionStart = SingleVolumeLayoutCalculator::partitionStartSector;
// The GPT partition stops short of the backup entry array and header.
constexpr std::int64_t gptMinimumSectorCount = partitionStart + GptBuilder::backupReserveSectors;

// The cluster size asked for, in sectors; a cluster below one sector was refused before.
std::optional<std::int64_t> sectorsPerCluster(std::optional<std::int64_t> clusterBytes, int sectorSize) {
    if (!clusterBytes) return std::nullopt;
    return *clusterBytes / sectorSize;
}

ExfatFormatParams exfatParams(const FormatReport& report, std::optional<std::int64_t> dataClusterBytes,
                              std::int32_t diskSignature) {
    ExfatFormatParams params;
    params.volumeOffsetSectors = partitionStart;
    params.volumeLengthSectors = report.partitionSectorCount;
    params.volumeLabel = report.volumeLabel;
    params.sectorsPerCluster = sectorsPerCluster(dataClusterBytes, report.sectorSize);
    params.volumeSerialNumber = static_cast<std::uint32_t>(diskSignature);
    return params;
}

// The exFAT formatter's own checks, run before the first write so that a volume it would
// refuse leaves the drive as it was: the reason, or nothing.
std::optional<std::string> exfatRefusal(const FormatReport& report, std::optional<std::int64_t> dataClusterBytes,
                                        std::int32_t diskSignature) {
    if (report.filesystem != DriveFilesystem::exfat) return std::nullopt;
    if (dataClusterBytes && *dataClusterBytes < report.sectorSize) {
        return "cluster size of " + std::to_string(*dataClusterBytes) + " bytes is smaller than the drive's " +
               std::to_string(report.sectorSize) + "-byte sectors";
    }
    const auto planned = DefaultExfatFormatter::plan(report.sectorSize, report.sectorCount,
                                                     exfatParams(report, dataClusterBytes, diskSignature));
    if (const auto* error = std::get_if<ExfatFormatError>(&planned)) return "exFAT format rejected: " + render(*error);
    return std::nullopt;
}

// One pass of a format over one device: the report it fills and the callbacks it calls.
struct FormatRun {
    FormatReport run() {
        if (report.partitionStyle == PartitionStyle::gpt) {
            runGpt();
        } else {
            runMbr();
        }
        return std::move(report);
    }

    void stage(FormatStage s) const {
        if (onProgress) onProgress(s, std::nullopt);
    }
    bool cancelRequested() const { return isCancelled && isCancelled(); }
    void note(std::string line) { report.notes.push_back(std::move(line)); }

    void runMbr() {
        if (cancelRequested()) {
            report.cancelledAtStage = FormatStage::writeMbr;
            return;
        }
        stage(FormatStage::writeMbr);
        if (!writeMbr() || !flushTable()) return;
        stage(FormatStage::verifyMbr);
        report.mbrVerifyOk = FormatReadBack::verifyMbr(block, report.partitionSectorCount, diskSignature, report.notes);
        if (!*report.mbrVerifyOk) return;
        // A former GPT drive keeps its backup GPT in the last sectors, which are inside the
        // new partition; left there, tools "repair" the drive back to the old table.
        if (!clearGap(ReservedAreaScrub::Tail::clearBackupGpt)) return;
        formatDataVolume();
    }

    void runGpt() {
        // The gap first: clearing it afterwards would erase the new primary GPT.
        if (!clearGap(ReservedAreaScrub::Tail::keep)) return;
        if (cancelRequested()) {
            report.cancelledAtStage = FormatStage::writeMbr;
            return;
        }
        stage(FormatStage::writeMbr);
        if (!writeGpt() || !flushTable()) return;
        stage(FormatStage::verifyMbr);
        report.mbrVerifyOk = FormatReadBack::verifyGpt(block, report.partitionSectorCount, report.notes);
        if (!*report.mbrVerifyOk) return;
        formatDataVolume();
    }

    bool writeMbr() {
        const PartitionEntry entry{false, SingleVolumeLayoutCalculator::partitionTypeData, partitionStart,
                                   report.partitionSectorCount};
        std::vector<std::uint8_t> sector;
        try {
            sector = MbrBuilder::build(std::span(&entry, 1), static_cast<std::uint32_t>(diskSignature));
        } catch (const MbrBuilderError& e) {
            return tableWriteFailed("MBR build failed: " + render(e.value));
        }
        // On larger sectors the record fills the first 512 bytes of sector 0 and the rest is
        // zero: a 512-byte write would be refused, and a GPT header that a 512-byte-sector
        // tool once put at byte 512 would survive.
        sector.resize(static_cast<std::size_t>(std::max(block.sectorSize(), 1)), 0);
        return writeTablePart(0, sector, "MBR");
    }

    bool writeGpt() {
        const GptBuilder::Partition data{GptBuilder::guidVector(GptBuilder::typeMsBasicData),
                                         GptBuilder::deriveGuid(diskSignature, 1),
                                         partitionStart, partitionStart + report.partitionSectorCount - 1, 0,
                                         report.volumeLabel};
        const GptBuilder::Partition unused{std::vector<std::uint8_t>(16, 0), std::vector<std::uint8_t>(16, 0), 0, 0, 0, ""};
        GptBuilder::Built built;
        try {
            built = GptBuilder::build(report.sectorCount, data, unused, GptBuilder::deriveGuid(diskSignature, 0));
        } catch (const GptBuilderError& e) {
            return tableWriteFailed("GPT build failed: " + render(e.value));
        }
        return writeTablePart(0, built.protectiveMbr, "protective MBR") &&
               writeTablePart(GptBuilder::primaryHeaderLba, built.primaryHeader, "primary GPT header") &&
               writeTablePart(GptBuilder::entryArrayLba, built.entryArray, "GPT entry array") &&
               writeTablePart(built.backupEntryArrayLba, built.entryArray, "backup GPT entry array") &&
               writeTablePart(built.backupHeaderLba, built.backupHeader, "backup GPT header");
    }

    bool writeTablePart(std::int64_t sector, const std::vector<std::uint8_t>& data, const char* what) {
        const BlockWriteResult result = block.writeSectors(sector, data);
        if (const auto* error = std::get_if<BlockError>(&result)) {
            return tableWriteFailed(std::string(what) + " write failed: " + render(*error));
        }
        return true;
    }

    bool tableWriteFailed(std::string line) {
        note(std::move(line));
        report.mbrWriteOk = false;
        return false;
    }

    // The flush after the table write; it completes mbrWriteOk.
    bool flushTable() {
        report.mbrWriteOk = true;
        return flushDevice();
    }

    // A flush the device does not honour is no failure; it is noted once per run.
    bool flushDevice() {
        const BlockFlushResult result = block.flush();
        if (const auto* error = std::get_if<BlockError>(&result)) {
            note("flush failed: " + render(*error));
            report.flushOk = false;
            return false;
        }
        if (const auto* notHonoured = std::get_if<BlockFlushNotHonoured>(&result); notHonoured && !notHonouredNoted) {
            note("flush not honoured — a read-back may be served from the drive's cache: " + notHonoured->detail);
            notHonouredNoted = true;
        }
        report.flushOk = true;
        return true;
    }

    bool clearGap(ReservedAreaScrub::Tail tail) {
        stage(FormatStage::scrubReserved);
        switch (ReservedAreaScrub::clear(block, formatter.writeChunkSectors, tail, isCancelled,
                                         [this] { return flushDevice(); }, report.notes)) {
        case ReservedAreaScrub::StepOutcome::done: report.scrubOk = true; return true;
        case ReservedAreaScrub::StepOutcome::failed: report.scrubOk = false; return false;
        case ReservedAreaScrub::StepOutcome::cancelled: report.cancelledAtStage = FormatStage::scrubReserved; return false;
        }
        return false;
    }

    void formatDataVolume() {
        if (cancelRequested()) {
            report.cancelledAtStage = FormatStage::format;
            return;
        }
        stage(FormatStage::format);
        if (report.filesystem == DriveFilesystem::fat32) {
            note("FAT32 is offered for Ventoy drives only");
            report.formatOk = false;
            return;
        }
        if (!formatExfat()) return;
        stage(FormatStage::verifyFormat);
        report.formatVerifyOk = FormatReadBack::verifyExfatBootSector(block, diskSignature, report.notes);
        if (!*report.formatVerifyOk) return;
        stage(FormatStage::flush);
        (void)flushDevice();
    }

    bool formatExfat() {
        const ExfatFormatParams params = exfatParams(report, dataClusterBytes, diskSignature);
        // No cancellation from here on: a half-formatted volume is worse than a finished one.
        const ExfatFormatResult result = formatter.exfatFormatter->format(block, params);
        report.formatOk = false;
        if (const auto* invalid = std::get_if<ExfatFormatResult::Invalid>(&result.value)) {
            note("exFAT format rejected: " + render(invalid->error));
        } else if (const auto* failed = std::get_if<ExfatFormatResult::WriteFailed>(&result.value)) {
            note("exFAT format write failed at " + failed->stage + ": " + render(failed->error));
        } else {
            const ExfatLayout& layout = std::get<ExfatFormatResult::Success>(result.value).layout;
            report.formatOk = true;
            report.clusterCount = layout.clusterCount;
            report.clusterSizeBytes = layout.clusterSizeBytes();
        }
        return *report.formatOk;
    }

    const DriveFormatter& formatter;
    BlockDevice& block;
    FormatReport report;
    std::int32_t diskSignature;
    std::optional<std::int64_t> dataClusterBytes;
    const DriveFormatter::ProgressHandler& onProgress;
    const DriveFormatter::CancelCheck& isCancelled;
    bool notHonouredNoted = false;  // the not-honoured note is made once per run
};

// The reason the layout is refused, or nothing.
std::optional<std::string> refusal(std::int64_t sectorCount, int sectorSize, PartitionStyle style) {
    const std::string n = std::to_string(sectorCount);
    // The 32-bit limit is tested first, so it binds GPT drives too.
    if (sectorCount > LayoutRefusal::maxMbrAddressableSectors) return "disk too large for 32-bit MBR: " + n + " sectors";
    if (sectorCount < SingleVolumeLayoutCalculator::minimumDiskSectorCount) {
        return "disk too small: " + n + " < " + std::to_string(SingleVolumeLayoutCalculator::minimumDiskSectorCount) +
               " sectors";
    }
    // A device always reports a sector size; without one the layout has no byte positions.
    if (sectorSize < 1) return "device reports a sector size of " + std::to_string(sectorSize) + " bytes";
    if (style != PartitionStyle::gpt) return std::nullopt;
    if (sectorCount <= gptMinimumSectorCount) return "disk too small for a GPT layout: " + n + " sectors";
    if (sectorSize != static_cast<int>(GptBuilder::sectorSize)) {
        return "GPT format currently supports " + std::to_string(GptBuilder::sectorSize) +
               "-byte sectors only, device is " + std::to_string(sectorSize);
    }
    return std::nullopt;
}

}  // namespace

DriveFormatter::DriveFormatter(std::shared_ptr<const ExfatFormatter> formatter, std::int64_t chunkSectors)
    : exfatFormatter(std::move(formatter)), writeChunkSectors(chunkSectors) {
    if (!exfatFormatter) throw std::invalid_argument("DriveFormatter needs an exFAT formatter");
    if (writeChunkSectors < 1) throw std::invalid_argument("writeChunkSectors must be at least 1");
}

DriveFormatResult DriveFormatter::format(BlockDevice& block, DriveFilesystem filesystem, PartitionStyle partitionStyle,
                                         const std::string& volumeLabel, std::optional<std::int64_t> dataClusterBytes,
                                         std::int32_t diskSignature, const ProgressHandler& onProgress,
                                         const CancelCheck& isCancelled) const {
    const int sectorSize = block.sectorSize();
    if (onProgress) onProgress(FormatStage::layout, std::nullopt);
    const std::int64_t sectorCount = block.sectorCount();
    if (auto reason = refusal(sectorCount, sectorSize, partitionStyle)) {
        return {DriveFormatResult::Aborted{std::move(*reason)}};
    }
    const auto layout = std::get<SingleVolumeLayoutCalculator::Success>(
                            SingleVolumeLayoutCalculator::calculate(sectorCount, sectorSize))
                            .layout;
    FormatReport report;
    report.filesystem = filesystem;
    report.partitionStyle = partitionStyle;
    report.sectorSize = sectorSize;
    report.sectorCount = sectorCount;
    report.capacityBytes = sectorCount * sectorSize;
    report.partitionStartSector = layout.partitionStartSector;
    report.partitionSectorCount = partitionStyle == PartitionStyle::gpt
                                      ? layout.partitionSectorCount - GptBuilder::backupReserveSectors
                                      : layout.partitionSectorCount;
    report.diskSignature = diskSignature;
    report.volumeLabel = volumeLabel;
    if (auto reason = exfatRefusal(report, dataClusterBytes, diskSignature)) {
        return {DriveFormatResult::Aborted{std::move(*reason)}};
    }
    FormatRun run{*this, block, std::move(report), diskSignature, dataClusterBytes, onProgress, isCancelled};
    return {DriveFormatResult::Completed{run.run()}};
}

std::int32_t DriveFormatter::newDiskSignature() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::int64_t milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(milliseconds)));
}

}  // namespace marlowick
