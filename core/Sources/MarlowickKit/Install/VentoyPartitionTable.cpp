#include "Install/VentoyPartitionTable.hpp"

#include <algorithm>
#include <optional>

#include "Block/NotedRead.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick::VentoyPartitionTable {
namespace {

constexpr std::size_t protectiveTypeOffset = 450;
constexpr std::uint8_t protectiveType = 0xEE;

bool hasBootSignature(std::span<const std::uint8_t> sector) {
    return sector.size() >= MbrBuilder::sectorSize && sector[MbrBuilder::bootSignatureOffset] == 0x55 &&
           sector[MbrBuilder::bootSignatureOffset + 1] == 0xAA;
}

// One writeSectors call; on failure the note is `what` + the rendered error.
bool writeStep(BlockDevice& block, std::int64_t sector, const std::vector<std::uint8_t>& data, const char* what,
               std::vector<std::string>& notes) {
    const BlockWriteResult result = block.writeSectors(sector, data);
    if (const auto* error = std::get_if<BlockError>(&result)) {
        notes.push_back(std::string(what) + render(*error));
        return false;
    }
    return true;
}

// The core-image pointer in sector 0 must name the layout's core start, or BIOS boot
// would jump into whatever lies at the stored sector.
bool checkCorePointer(std::span<const std::uint8_t> sector0, const VentoyLayout& layout, const char* tooShortNote,
                      std::vector<std::string>& notes) {
    const std::optional<std::int64_t> pointer = MbrBuilder::coreImgSectorPointer(sector0);
    if (!pointer) {
        notes.emplace_back(tooShortNote);
        return false;
    }
    if (*pointer != layout.coreStartSector) {
        notes.push_back("boot.img core.img pointer reads " + std::to_string(*pointer) + ", expected " +
                        std::to_string(layout.coreStartSector) + " — the drive would not boot in legacy BIOS mode");
        return false;
    }
    return true;
}

bool writeGpt(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature, std::string_view volumeLabel,
              const std::vector<std::uint8_t>& bootCode, std::vector<std::string>& notes) {
    // Every GPT structure is laid out in 512-byte sectors; on other sectors the writes
    // would land at the wrong places.
    if (block.sectorSize() != static_cast<int>(GptBuilder::sectorSize)) {
        notes.push_back("GPT layout needs 512-byte sectors, the device has " + std::to_string(block.sectorSize()) +
                        "-byte sectors");
        return false;
    }
    const GptBuilder::Partition part1{GptBuilder::guidVector(GptBuilder::typeMsBasicData),
                                      GptBuilder::deriveGuid(diskSignature, 1),
                                      layout.part1StartSector, layout.part1EndSector(), 0, std::string(volumeLabel)};
    const GptBuilder::Partition part2{GptBuilder::guidVector(GptBuilder::typeEfiSystem),
                                      GptBuilder::deriveGuid(diskSignature, 2),
                                      layout.part2StartSector, layout.part2EndSector(), 0,
                                      std::string(gptEfiPartitionName)};
    GptBuilder::Built built;
    try {
        built = GptBuilder::build(layout.diskSectorCount, part1, part2, GptBuilder::deriveGuid(diskSignature, 0), bootCode);
    } catch (const GptBuilderError& e) {
        notes.push_back("GPT build failed: " + render(e.value));
        return false;
    }
    return writeStep(block, 0, built.protectiveMbr, "protective MBR write failed: ", notes) &&
           writeStep(block, GptBuilder::primaryHeaderLba, built.primaryHeader, "primary GPT header write failed: ", notes) &&
           writeStep(block, GptBuilder::entryArrayLba, built.entryArray, "GPT entry array write failed: ", notes) &&
           writeStep(block, built.backupEntryArrayLba, built.entryArray, "backup GPT entry array write failed: ", notes) &&
           writeStep(block, built.backupHeaderLba, built.backupHeader, "backup GPT header write failed: ", notes);
}

bool writeMbr(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature, std::uint8_t part1Type,
              const std::vector<std::uint8_t>& bootCode, std::vector<std::string>& notes) {
    // A smaller sector could not hold the record, and a write of it would spill into sector 1.
    if (block.sectorSize() < static_cast<int>(MbrBuilder::sectorSize)) {
        notes.push_back("MBR needs sectors of at least 512 bytes, the device has " + std::to_string(block.sectorSize()) +
                        "-byte sectors");
        return false;
    }
    std::vector<std::uint8_t> sector;
    try {
        sector = MbrBuilder::build(layout.toPartitionEntries(part1Type), static_cast<std::uint32_t>(diskSignature),
                                   bootCode);
    } catch (const MbrBuilderError& e) {
        notes.push_back("MBR build failed: " + render(e.value));
        return false;
    }
    // On larger sectors the record fills the first 512 bytes of sector 0; the rest is zero.
    sector.resize(static_cast<std::size_t>(block.sectorSize()), 0);
    return writeStep(block, 0, sector, "MBR write failed: ", notes);
}

bool verifyMbr(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature, std::uint8_t part1Type,
               std::vector<std::string>& notes) {
    const auto sector0 = readOrNote(block, 0, 1, "MBR read-back failed: ", notes);
    if (!sector0) return false;
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(*sector0);
    if (!parsed) {
        notes.emplace_back("MBR read-back was shorter than one sector");
        return false;
    }
    const PartitionEntry& p1 = parsed->entries[0];
    const PartitionEntry& p2 = parsed->entries[1];
    // Active flags, entries 3 and 4 and the rest of the boot code are not compared.
    const bool matches = parsed->hasSignature && parsed->diskSignature == static_cast<std::uint32_t>(diskSignature) &&
                         p1.startLba == layout.part1StartSector && p1.sectorCount == layout.part1SectorCount &&
                         p1.type == part1Type && p2.startLba == layout.part2StartSector &&
                         p2.sectorCount == layout.part2SectorCount && p2.type == VentoyLayoutCalculator::part2TypeEfi;
    if (!matches) {
        notes.emplace_back("MBR read-back did not match the written layout");
        return false;
    }
    return checkCorePointer(*sector0, layout, "MBR read-back too short for the core.img sector pointer", notes);
}

bool verifyGpt(BlockDevice& block, const VentoyLayout& layout, std::vector<std::string>& notes) {
    const std::int64_t n = layout.diskSectorCount;
    const auto sector0 = readOrNote(block, 0, 1, "protective MBR read-back failed: ", notes);
    if (!sector0) return false;
    if (!hasBootSignature(*sector0) || (*sector0)[protectiveTypeOffset] != protectiveType) {
        notes.emplace_back("protective MBR read-back missing the 0xEE entry or boot signature");
        return false;
    }
    if (!checkCorePointer(*sector0, layout, "protective MBR read-back too short for the core.img sector pointer", notes)) {
        return false;
    }

    const auto headerSector = readOrNote(block, GptBuilder::primaryHeaderLba, 1, "primary GPT header read-back failed: ", notes);
    if (!headerSector) return false;
    const std::optional<ParsedGptHeader> header = GptBuilder::parseHeader(*headerSector);
    if (!header) {
        notes.emplace_back("primary GPT header read-back missing the EFI PART signature");
        return false;
    }
    if (!header->headerCrcValid || header->myLba != GptBuilder::primaryHeaderLba ||
        header->entryArrayLba != GptBuilder::entryArrayLba || header->numberOfEntries != GptBuilder::numEntries ||
        header->sizeOfEntry != GptBuilder::entrySize) {
        notes.emplace_back("primary GPT header read-back did not match the written header");
        return false;
    }

    const auto entries = readOrNote(block, GptBuilder::entryArrayLba, GptBuilder::entryArraySectors,
                                  "GPT entry array read-back failed: ", notes);
    if (!entries) return false;
    if (GptBuilder::crc32(*entries) != header->entriesCrc) {
        notes.emplace_back("GPT entry-array read-back CRC32 did not match the header");
        return false;
    }
    const std::optional<ParsedGptEntry> entry1 = GptBuilder::parseEntry(*entries, 0);
    const std::optional<ParsedGptEntry> entry2 = GptBuilder::parseEntry(*entries, 1);
    if (!entry1 || !entry2 || entry1->startLba != layout.part1StartSector ||
        entry1->typeGuid != GptBuilder::guidVector(GptBuilder::typeMsBasicData) ||
        entry2->startLba != layout.part2StartSector ||
        entry2->typeGuid != GptBuilder::guidVector(GptBuilder::typeEfiSystem)) {
        notes.emplace_back("GPT partition entries read-back did not match the written layout");
        return false;
    }

    const auto backupSector = readOrNote(block, n - 1, 1, "backup GPT header read-back failed: ", notes);
    if (!backupSector) return false;
    const std::optional<ParsedGptHeader> backup = GptBuilder::parseHeader(*backupSector);
    if (!backup || !backup->headerCrcValid || backup->myLba != n - 1) {
        notes.emplace_back("backup GPT header read-back did not match");
        return false;
    }
    return true;
}

}  // namespace

bool writePartitionTable(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature,
                         std::string_view volumeLabel, std::span<const std::uint8_t> bootCode, std::uint8_t part1Type,
                         std::vector<std::string>& notes) {
    const std::optional<std::vector<std::uint8_t>> patched =
        MbrBuilder::patchCoreImgPointer(bootCode, layout.coreStartSector);
    if (!patched) {
        notes.push_back("boot code too short to carry the core.img sector pointer (" + std::to_string(bootCode.size()) +
                        " bytes)");
        return false;
    }
    if (layout.partitionStyle == PartitionStyle::gpt) {
        return writeGpt(block, layout, diskSignature, volumeLabel, *patched, notes);
    }
    return writeMbr(block, layout, diskSignature, part1Type, *patched, notes);
}

bool verifyPartitionTable(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature,
                          std::uint8_t part1Type, std::vector<std::string>& notes) {
    if (layout.partitionStyle == PartitionStyle::gpt) return verifyGpt(block, layout, notes);
    return verifyMbr(block, layout, diskSignature, part1Type, notes);
}

}  // namespace marlowick::VentoyPartitionTable
