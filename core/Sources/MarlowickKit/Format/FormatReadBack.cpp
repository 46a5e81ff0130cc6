#include "Format/FormatReadBack.hpp"

#include <algorithm>
#include <optional>

#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatStructures.hpp"
#include "Text/UnicodeText.hpp"
#include "Block/NotedRead.hpp"
#include "Gpt/GptBuilder.hpp"
#include "Layout/SingleVolumeLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick::FormatReadBack {
namespace {

constexpr std::int64_t partitionStart = SingleVolumeLayoutCalculator::partitionStartSector;
constexpr std::size_t protectiveTypeOffset = 450;
constexpr std::uint8_t protectiveType = 0xEE;

bool hasBootSignature(std::span<const std::uint8_t> sector) {
    return sector.size() >= MbrBuilder::sectorSize && sector[MbrBuilder::bootSignatureOffset] == 0x55 &&
           sector[MbrBuilder::bootSignatureOffset + 1] == 0xAA;
}

bool fail(std::vector<std::string>& notes, std::string note) {
    notes.push_back(std::move(note));
    return false;
}

bool singleEntryMatches(const ParsedMbr& mbr, std::int64_t partitionSectorCount) {
    if (mbr.entries.empty()) return false;
    const PartitionEntry& first = mbr.entries.front();
    if (first.type != SingleVolumeLayoutCalculator::partitionTypeData || first.startLba != partitionStart ||
        first.sectorCount != partitionSectorCount) {
        return false;
    }
    return std::all_of(mbr.entries.begin() + 1, mbr.entries.end(),
                       [](const PartitionEntry& e) { return e.startLba == 0 && e.sectorCount == 0; });
}

bool entriesMatch(std::span<const std::uint8_t> entries, std::int64_t partitionSectorCount) {
    const std::optional<ParsedGptEntry> first = GptBuilder::parseEntry(entries, 0);
    const std::optional<ParsedGptEntry> second = GptBuilder::parseEntry(entries, 1);
    if (!first || !second) return false;
    const std::vector<std::uint8_t> basicData(GptBuilder::typeMsBasicData.begin(), GptBuilder::typeMsBasicData.end());
    const bool secondUnused =
        std::all_of(second->typeGuid.begin(), second->typeGuid.end(), [](std::uint8_t b) { return b == 0; });
    return first->startLba == partitionStart && first->endLba == partitionStart + partitionSectorCount - 1 &&
           first->typeGuid == basicData && secondUnused;
}

}  // namespace

bool verifyMbr(BlockDevice& block, std::int64_t partitionSectorCount, std::int32_t diskSignature,
               std::vector<std::string>& notes) {
    const auto sector0 = readOrNote(block, 0, 1, "MBR read-back failed: ", notes);
    if (!sector0) return false;
    const std::optional<ParsedMbr> parsed = MbrBuilder::parse(*sector0);
    if (!parsed) return fail(notes, "MBR read-back was shorter than one sector");
    if (!parsed->hasSignature || parsed->diskSignature != static_cast<std::uint32_t>(diskSignature) ||
        !singleEntryMatches(*parsed, partitionSectorCount)) {
        return fail(notes, "MBR read-back did not match the single-partition layout");
    }
    return true;
}

bool verifyGpt(BlockDevice& block, std::int64_t partitionSectorCount, std::vector<std::string>& notes) {
    const auto sector0 = readOrNote(block, 0, 1, "protective MBR read-back failed: ", notes);
    if (!sector0) return false;
    if (!hasBootSignature(*sector0) || (*sector0)[protectiveTypeOffset] != protectiveType) {
        return fail(notes, "protective MBR read-back missing the 0xEE entry or boot signature");
    }

    const auto headerSector =
        readOrNote(block, GptBuilder::primaryHeaderLba, 1, "primary GPT header read-back failed: ", notes);
    if (!headerSector) return false;
    const std::optional<ParsedGptHeader> header = GptBuilder::parseHeader(*headerSector);
    if (!header) return fail(notes, "primary GPT header read-back missing the EFI PART signature");
    if (!header->headerCrcValid || header->myLba != GptBuilder::primaryHeaderLba ||
        header->entryArrayLba != GptBuilder::entryArrayLba || header->numberOfEntries != GptBuilder::numEntries ||
        header->sizeOfEntry != GptBuilder::entrySize) {
        return fail(notes, "primary GPT header read-back did not match the written header");
    }

    const auto entries = readOrNote(block, GptBuilder::entryArrayLba, GptBuilder::entryArraySectors,
                                  "GPT entry array read-back failed: ", notes);
    if (!entries) return false;
    if (GptBuilder::crc32(*entries) != header->entriesCrc) {
        return fail(notes, "GPT entry-array read-back CRC32 did not match the header");
    }
    if (!entriesMatch(*entries, partitionSectorCount)) {
        return fail(notes, "GPT partition entries read-back did not match the single-partition layout");
    }

    const std::int64_t lastLba = block.sectorCount() - 1;
    const auto backupSector = readOrNote(block, lastLba, 1, "backup GPT header read-back failed: ", notes);
    if (!backupSector) return false;
    const std::optional<ParsedGptHeader> backup = GptBuilder::parseHeader(*backupSector);
    if (!backup || !backup->headerCrcValid || backup->myLba != lastLba) {
        return fail(notes, "backup GPT header read-back did not match");
    }
    return true;
}

bool verifyExfatBootSector(BlockDevice& block, std::int32_t diskSignature, std::vector<std::string>& notes) {
    namespace Boot = ExfatStructures::BootSector;
    const auto sector = readOrNote(block, partitionStart, 1, "exFAT boot-sector read-back failed: ", notes);
    if (!sector) return false;
    if (sector->size() < MbrBuilder::sectorSize) return fail(notes, "exFAT boot-sector read-back was shorter than one sector");
    const std::string_view nameBytes(reinterpret_cast<const char*>(sector->data()) + Boot::fileSystemNameOffset,
                                     Boot::fileSystemName.size());
    const std::string name = repairedUtf8(nameBytes);
    const bool signature = (*sector)[Boot::bootSignatureOffset] == 0x55 && (*sector)[Boot::bootSignatureOffset + 1] == 0xAA;
    const bool serial = LittleEndian::read32(*sector, Boot::volumeSerialNumberOffset) ==
                        static_cast<std::uint32_t>(diskSignature);
    if (name != Boot::fileSystemName || !signature || !serial) {
        // The serial is compared but not shown: the name and the signature say what was found.
        return fail(notes, "exFAT read-back did not match the fresh format (name='" + name +
                               "', sig=" + (signature ? "true" : "false") + ")");
    }
    return true;
}

}  // namespace marlowick::FormatReadBack
