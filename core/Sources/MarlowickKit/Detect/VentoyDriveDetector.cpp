#include "Detect/VentoyDriveDetector.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Gpt/GptBuilder.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick::VentoyDriveDetector {
namespace {

using VentoyLayoutCalculator::part1StartSector;

constexpr std::uint8_t protectiveMbrType = 0xEE;

constexpr const char* noBootSignature = "no 0x55AA MBR boot signature (blank or non-MBR drive)";
constexpr const char* mbrTooLargeWithFingerprint = "disk too large for a 32-bit MBR Ventoy layout";
constexpr const char* mbrTooLarge = "disk too large for MBR and no Ventoy fingerprint";
constexpr const char* mbrTooSmallWithFingerprint = "disk too small to host a Marlowick Ventoy layout";
constexpr const char* mbrTooSmall = "disk too small for a Ventoy layout and no Ventoy fingerprint";
constexpr const char* mbrOtherLayoutWithFingerprint =
    "Ventoy EFI partition present but the layout differs from the one Marlowick writes "
    "(prepared by another tool/version); in-place update is unsafe";
constexpr const char* mbrNotVentoy = "partition table is not a Ventoy layout";
constexpr const char* gptNoHeader = "GPT protective MBR present but no valid primary GPT header";
constexpr const char* gptTooSmallWithFingerprint = "disk cannot host a Marlowick GPT Ventoy layout";
constexpr const char* gptTooSmall = "disk cannot host a Ventoy GPT layout and no Ventoy fingerprint";
constexpr const char* gptOtherLayoutWithFingerprint =
    "Ventoy GPT EFI partition present but the layout differs from the one Marlowick writes "
    "(prepared by another tool/version); in-place update is unsafe";
constexpr const char* gptNotVentoy = "GPT partition table is not a Ventoy layout";

VentoyDriveStatus notVentoy(std::string reason) { return {VentoyDriveStatus::NotVentoy{std::move(reason)}}; }
VentoyDriveStatus incompatible(std::string reason) {
    return {VentoyDriveStatus::IncompatibleVentoy{std::move(reason)}};
}
VentoyDriveStatus byFingerprint(bool fingerprint, const char* withFingerprint, const char* without) {
    return fingerprint ? incompatible(withFingerprint) : notVentoy(without);
}

// Whether an inclusive GPT range holds exactly partition 2's sectors. The LBAs are
// whatever the drive holds, so the difference may not fit in 64 bits.
bool spansVentoyPart2(std::int64_t startLba, std::int64_t endLba) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(endLba, startLba, &difference)) return false;
    return difference == ventoyPart2Sectors - 1;
}

// Where the layout calculator would start partition 2, without and with 4 KiB alignment,
// for the tail reserve the drive shows. The reserve R is max(N − tail − 65536 − observed
// start, 0) when partition 2 has the Ventoy size, else 0; the unaligned start
// N − tail − R − 65536 is then min(observed start, N − tail − 65536), which is how it is
// computed here: no sum of hostile numbers can overflow.
struct Part2Starts {
    std::int64_t unaligned;
    std::int64_t aligned;
};

Part2Starts part2Starts(std::int64_t diskSectorCount, std::int64_t tailSectors,
                        std::optional<std::int64_t> observedPart2Start) {
    // A disk smaller than the tail and partition 2 has no start at all (also keeps the
    // subtraction inside 64 bits for any count).
    const std::int64_t room = tailSectors + ventoyPart2Sectors;
    std::int64_t unaligned = diskSectorCount < room ? -1 : diskSectorCount - room;
    if (observedPart2Start) unaligned = std::min(unaligned, *observedPart2Start);
    const std::int64_t aligned =
        unaligned - unaligned % VentoyLayoutCalculator::part2AlignmentSectors;  // only read when unaligned ≥ 0
    return {unaligned, aligned};
}

// The calculator's own rule: a disk hosts a layout when either start leaves partition 1 a
// sector, and the unaligned start is never below the aligned one. An unaligned layout on
// a disk too small to align (partition 1 of one to seven sectors) is still one we wrote.
bool canHost(const Part2Starts& starts) {
    return starts.unaligned >= 0 && VentoyLayoutCalculator::leavesPart1ASector(starts.unaligned);
}

// The aligned start first, then the unaligned one, each when it leaves partition 1 a sector.
std::vector<std::int64_t> candidateStarts(const Part2Starts& starts) {
    std::vector<std::int64_t> candidates;
    if (VentoyLayoutCalculator::leavesPart1ASector(starts.aligned)) candidates.push_back(starts.aligned);
    if (starts.unaligned != starts.aligned && VentoyLayoutCalculator::leavesPart1ASector(starts.unaligned)) {
        candidates.push_back(starts.unaligned);
    }
    return candidates;
}

bool mbrLayoutMatches(const PartitionEntry& slot1, const PartitionEntry& slot2, std::int64_t part2Start) {
    return VentoyLayoutCalculator::isPart1DataType(slot1.type) && slot1.startLba == part1StartSector &&
           slot1.sectorCount == part2Start - part1StartSector &&
           slot2.type == VentoyLayoutCalculator::part2TypeEfi && slot2.startLba == part2Start &&
           slot2.sectorCount == ventoyPart2Sectors;
}

bool hasType(const ParsedGptEntry& entry, const GptBuilder::GuidBytes& type) {
    return std::ranges::equal(entry.typeGuid, type);
}

bool gptLayoutMatches(const std::optional<ParsedGptEntry>& entry1, const std::optional<ParsedGptEntry>& entry2,
                      const VentoyLayout& layout) {
    if (!entry1 || !entry2) return false;
    return hasType(*entry1, GptBuilder::typeMsBasicData) && entry1->startLba == part1StartSector &&
           entry1->endLba == part1StartSector + layout.part1SectorCount - 1 &&
           hasType(*entry2, GptBuilder::typeEfiSystem) && entry2->startLba == layout.part2StartSector &&
           entry2->endLba == layout.part2StartSector + ventoyPart2Sectors - 1;
}

}  // namespace

bool isGptProtectiveMbr(std::span<const std::uint8_t> sector) {
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(sector);
    return parsed && parsed->hasSignature && parsed->entries.at(0).type == protectiveMbrType;
}

VentoyDriveStatus classify(std::span<const std::uint8_t> mbrSector, std::int64_t diskSectorCount, int sectorSize) {
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(mbrSector);
    if (!parsed) return notVentoy("MBR sector shorter than " + std::to_string(MbrBuilder::sectorSize) + " bytes");
    if (!parsed->hasSignature) return notVentoy(noBootSignature);

    const PartitionEntry& slot1 = parsed->entries.at(0);
    const PartitionEntry& slot2 = parsed->entries.at(1);
    const bool ventoySized = slot2.sectorCount == ventoyPart2Sectors;
    const bool fingerprint = ventoySized && slot2.type == VentoyLayoutCalculator::part2TypeEfi;

    if (diskSectorCount > mbrLimitSectors) return byFingerprint(fingerprint, mbrTooLargeWithFingerprint, mbrTooLarge);
    const Part2Starts starts =
        part2Starts(diskSectorCount, 0, ventoySized ? std::optional(slot2.startLba) : std::nullopt);
    if (!canHost(starts)) return byFingerprint(fingerprint, mbrTooSmallWithFingerprint, mbrTooSmall);

    for (const std::int64_t part2Start : candidateStarts(starts)) {
        if (!mbrLayoutMatches(slot1, slot2, part2Start)) continue;
        return {VentoyDriveStatus::Ventoy{VentoyLayout{diskSectorCount, sectorSize, part1StartSector,
                                                       slot1.sectorCount, slot2.startLba, ventoyPart2Sectors,
                                                       PartitionStyle::mbr, VentoyLayout::mbrCoreStart}}};
    }
    return byFingerprint(fingerprint, mbrOtherLayoutWithFingerprint, mbrNotVentoy);
}

VentoyDriveStatus classifyGpt(std::span<const std::uint8_t> primaryHeaderSector,
                              std::span<const std::uint8_t> entryArray, std::int64_t diskSectorCount,
                              int sectorSize) {
    if (!GptBuilder::parseHeader(primaryHeaderSector)) return notVentoy(gptNoHeader);

    const std::optional<ParsedGptEntry> entry1 = GptBuilder::parseEntry(entryArray, 0);
    const std::optional<ParsedGptEntry> entry2 = GptBuilder::parseEntry(entryArray, 1);
    const bool ventoySized = entry2 && spansVentoyPart2(entry2->startLba, entry2->endLba);
    const bool fingerprint = ventoySized && hasType(*entry2, GptBuilder::typeEfiSystem);

    const Part2Starts starts = part2Starts(diskSectorCount, GptBuilder::backupReserveSectors,
                                           ventoySized ? std::optional(entry2->startLba) : std::nullopt);
    if (!canHost(starts)) return byFingerprint(fingerprint, gptTooSmallWithFingerprint, gptTooSmall);

    for (const std::int64_t part2Start : candidateStarts(starts)) {
        const VentoyLayout candidate{diskSectorCount,    sectorSize, part1StartSector, part2Start - part1StartSector,
                                     part2Start,         ventoyPart2Sectors,
                                     PartitionStyle::gpt, VentoyLayout::gptCoreStart};
        if (gptLayoutMatches(entry1, entry2, candidate)) return {VentoyDriveStatus::Ventoy{candidate}};
    }
    return byFingerprint(fingerprint, gptOtherLayoutWithFingerprint, gptNotVentoy);
}

VentoyDetectionResult detect(BlockDevice& device) {
    BlockReadResult sector0 = device.readSectors(0, 1);
    if (auto* error = std::get_if<BlockError>(&sector0)) return {VentoyDetectionResult::ReadFailed{*error}};
    const std::vector<std::uint8_t>& mbr = std::get<BlockReadSuccess>(sector0).data;

    // GPT is only written on 512-byte sectors; a protective MBR elsewhere is read as an MBR.
    if (isGptProtectiveMbr(mbr) && device.sectorSize() == gptSectorSize) {
        BlockReadResult header = device.readSectors(GptBuilder::primaryHeaderLba, 1);
        if (auto* error = std::get_if<BlockError>(&header)) return {VentoyDetectionResult::ReadFailed{*error}};
        BlockReadResult entries = device.readSectors(GptBuilder::entryArrayLba, GptBuilder::entryArraySectors);
        if (auto* error = std::get_if<BlockError>(&entries)) return {VentoyDetectionResult::ReadFailed{*error}};
        return {VentoyDetectionResult::Detected{classifyGpt(std::get<BlockReadSuccess>(header).data,
                                                            std::get<BlockReadSuccess>(entries).data,
                                                            device.sectorCount(), device.sectorSize())}};
    }
    return {VentoyDetectionResult::Detected{classify(mbr, device.sectorCount(), device.sectorSize())}};
}

}  // namespace marlowick::VentoyDriveDetector
