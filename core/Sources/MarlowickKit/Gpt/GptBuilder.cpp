#include "Gpt/GptBuilder.hpp"

#include <unicode/unistr.h>
#include <unicode/utf16.h>
#include <zlib.h>

#include <algorithm>
#include <limits>

#include "Bytes/LittleEndian.hpp"
#include "Text/CaseDescription.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick {
namespace {

using namespace GptBuilder;

constexpr std::uint8_t headerSignature[8] = {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'};
constexpr std::uint32_t revision1_0 = 0x0001'0000;

// Header fields.
constexpr std::size_t revisionOffset = 8;
constexpr std::size_t headerSizeOffset = 12;
constexpr std::size_t headerCrcOffset = 16;
constexpr std::size_t myLbaOffset = 24;
constexpr std::size_t alternateLbaOffset = 32;
constexpr std::size_t firstUsableLbaOffset = 40;
constexpr std::size_t lastUsableLbaOffset = 48;
constexpr std::size_t diskGuidOffset = 56;
constexpr std::size_t entryArrayLbaOffset = 72;
constexpr std::size_t numberOfEntriesOffset = 80;
constexpr std::size_t sizeOfEntryOffset = 84;
constexpr std::size_t entriesCrcOffset = 88;

// Entry fields.
constexpr std::size_t typeGuidOffset = 0;
constexpr std::size_t uniqueGuidOffset = 16;
constexpr std::size_t startLbaOffset = 32;
constexpr std::size_t endLbaOffset = 40;
constexpr std::size_t attributesOffset = 48;
constexpr std::size_t nameOffset = 56;
constexpr std::size_t guidBytes = 16;

// The protective MBR's single entry, the first of the MBR's partition table.
constexpr std::size_t protectiveTypeOffset = 4;   // inside the entry
constexpr std::size_t protectiveStartOffset = 8;  // inside the entry
constexpr std::size_t protectiveCountOffset = 12;
constexpr std::uint8_t protectiveType = 0xEE;
constexpr std::int64_t max32 = 0xFFFF'FFFF;

struct Renderer {
    std::string operator()(const GptBuilderError::DiskTooSmall& e) const {
        return CaseDescription("diskTooSmall").field("sectors", e.sectors).str();
    }
    std::string operator()(const GptBuilderError::InvalidDiskGuidSize& e) const {
        return CaseDescription("invalidDiskGuidSize").value(e.count).str();
    }
    std::string operator()(const GptBuilderError::InvalidTypeGuidSize& e) const {
        return CaseDescription("invalidTypeGuidSize").value(e.count).str();
    }
    std::string operator()(const GptBuilderError::InvalidUniqueGuidSize& e) const {
        return CaseDescription("invalidUniqueGuidSize").value(e.count).str();
    }
    std::string operator()(const GptBuilderError::OversizedBootCode& e) const {
        return CaseDescription("oversizedBootCode").field("size", e.size).field("max", e.max).str();
    }
};

std::int64_t sizeOf(std::span<const std::uint8_t> bytes) { return static_cast<std::int64_t>(bytes.size()); }

// The first 36 UTF-16 units, little-endian. A pair cut in half by the limit loses its
// lead unit too: a lone surrogate is no character any reader could show.
void writeName(std::span<std::uint8_t> field, const std::string& name) {
    const icu::UnicodeString units = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(),
                                                                                   static_cast<std::int32_t>(name.size())));
    std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(units.length()), nameCodeUnits);
    if (count == nameCodeUnits && static_cast<std::size_t>(units.length()) > nameCodeUnits &&
        U16_IS_LEAD(units.charAt(static_cast<std::int32_t>(count - 1)))) {
        --count;
    }
    for (std::size_t i = 0; i < count; ++i) {
        LittleEndian::write16(field, 2 * i, units.charAt(static_cast<std::int32_t>(i)));
    }
}

void writeEntry(std::span<std::uint8_t> entry, const Partition& partition) {
    if (partition.typeGuid.size() != guidBytes) {
        throw GptBuilderError(GptBuilderError::InvalidTypeGuidSize{sizeOf(partition.typeGuid)});
    }
    if (partition.uniqueGuid.size() != guidBytes) {
        throw GptBuilderError(GptBuilderError::InvalidUniqueGuidSize{sizeOf(partition.uniqueGuid)});
    }
    std::copy(partition.typeGuid.begin(), partition.typeGuid.end(), entry.begin() + typeGuidOffset);
    std::copy(partition.uniqueGuid.begin(), partition.uniqueGuid.end(), entry.begin() + uniqueGuidOffset);
    LittleEndian::write64(entry, startLbaOffset, static_cast<std::uint64_t>(partition.startLba));
    LittleEndian::write64(entry, endLbaOffset, static_cast<std::uint64_t>(partition.endLba));
    LittleEndian::write64(entry, attributesOffset, static_cast<std::uint64_t>(partition.attributes));
    writeName(entry.subspan(nameOffset), partition.name);
}

struct HeaderPlace {
    std::int64_t myLba;
    std::int64_t alternateLba;
    std::int64_t entryArrayLba;
};

std::vector<std::uint8_t> buildHeader(std::int64_t diskSectorCount, HeaderPlace place,
                                      std::span<const std::uint8_t> diskGuid, std::uint32_t entriesCrc) {
    std::vector<std::uint8_t> header(sectorSize, 0);
    std::copy(std::begin(headerSignature), std::end(headerSignature), header.begin());
    LittleEndian::write32(header, revisionOffset, revision1_0);
    LittleEndian::write32(header, headerSizeOffset, static_cast<std::uint32_t>(headerSize));
    LittleEndian::write64(header, myLbaOffset, static_cast<std::uint64_t>(place.myLba));
    LittleEndian::write64(header, alternateLbaOffset, static_cast<std::uint64_t>(place.alternateLba));
    LittleEndian::write64(header, firstUsableLbaOffset, static_cast<std::uint64_t>(firstUsableLba));
    LittleEndian::write64(header, lastUsableLbaOffset, static_cast<std::uint64_t>(diskSectorCount - firstUsableLba));
    std::copy(diskGuid.begin(), diskGuid.end(), header.begin() + diskGuidOffset);
    LittleEndian::write64(header, entryArrayLbaOffset, static_cast<std::uint64_t>(place.entryArrayLba));
    LittleEndian::write32(header, numberOfEntriesOffset, static_cast<std::uint32_t>(numEntries));
    LittleEndian::write32(header, sizeOfEntryOffset, static_cast<std::uint32_t>(entrySize));
    LittleEndian::write32(header, entriesCrcOffset, entriesCrc);
    // The CRC field itself is zero while the CRC is taken.
    LittleEndian::write32(header, headerCrcOffset, crc32(std::span(header).first(headerSize)));
    return header;
}

std::int64_t signedLba(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::int64_t>(LittleEndian::read64(bytes, offset));
}

}  // namespace

GptBuilderError::GptBuilderError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

std::string render(const GptBuilderError::Case& error) { return std::visit(Renderer{}, error); }

void PrintTo(const ParsedGptHeader& v, std::ostream* os) {
    *os << "ParsedGptHeader(headerCrcValid: " << (v.headerCrcValid ? "true" : "false") << ", myLba: " << v.myLba
        << ", alternateLba: " << v.alternateLba << ", firstUsableLba: " << v.firstUsableLba
        << ", lastUsableLba: " << v.lastUsableLba << ", entryArrayLba: " << v.entryArrayLba
        << ", numberOfEntries: " << v.numberOfEntries << ", sizeOfEntry: " << v.sizeOfEntry
        << ", entriesCrc: " << v.entriesCrc << ")";
}

void PrintTo(const ParsedGptEntry& v, std::ostream* os) {
    *os << "ParsedGptEntry(typeGuid: [";
    for (std::size_t i = 0; i < v.typeGuid.size(); ++i) *os << (i == 0 ? "" : " ") << int{v.typeGuid[i]};
    *os << "], startLba: " << v.startLba << ", endLba: " << v.endLba << ")";
}

namespace GptBuilder {

Built build(std::int64_t diskSectorCount, const Partition& part1, const Partition& part2,
            std::span<const std::uint8_t> diskGuid, std::span<const std::uint8_t> bootCode) {
    if (diskSectorCount < minimumDiskSectorCount) throw GptBuilderError(GptBuilderError::DiskTooSmall{diskSectorCount});
    if (diskGuid.size() != guidBytes) throw GptBuilderError(GptBuilderError::InvalidDiskGuidSize{sizeOf(diskGuid)});

    std::vector<std::uint8_t> entryArray(numEntries * entrySize, 0);
    writeEntry(std::span(entryArray).subspan(0, entrySize), part1);
    writeEntry(std::span(entryArray).subspan(entrySize, entrySize), part2);
    const std::uint32_t entriesCrc = crc32(entryArray);

    const std::int64_t lastLba = diskSectorCount - 1;
    const std::int64_t backupArrayLba = diskSectorCount - backupReserveSectors;
    Built built;
    built.primaryHeader = buildHeader(diskSectorCount, {primaryHeaderLba, lastLba, entryArrayLba}, diskGuid, entriesCrc);
    built.backupHeader = buildHeader(diskSectorCount, {lastLba, primaryHeaderLba, backupArrayLba}, diskGuid, entriesCrc);
    // Last, after the GUIDs: an oversized boot code is reported only when all else is valid.
    built.protectiveMbr = buildProtectiveMbr(diskSectorCount, bootCode);
    built.entryArray = std::move(entryArray);
    built.backupEntryArrayLba = backupArrayLba;
    built.backupHeaderLba = lastLba;
    return built;
}

std::vector<std::uint8_t> buildProtectiveMbr(std::int64_t diskSectorCount, std::span<const std::uint8_t> bootCode) {
    if (bootCode.size() > maxBootCodeBytes) {
        throw GptBuilderError(
            GptBuilderError::OversizedBootCode{sizeOf(bootCode), static_cast<std::int64_t>(maxBootCodeBytes)});
    }
    std::vector<std::uint8_t> sector(sectorSize, 0);
    std::copy(bootCode.begin(), bootCode.end(), sector.begin());
    const std::span entry = std::span(sector).subspan(MbrBuilder::partitionTableOffset, MbrBuilder::partitionEntrySize);
    entry[0] = 0x00;  // not active
    entry[1] = 0x00;  // first CHS: cylinder 0, head 0, sector 2
    entry[2] = 0x02;
    entry[3] = 0x00;
    entry[protectiveTypeOffset] = protectiveType;
    entry[5] = 0xFF;  // last CHS: beyond reach
    entry[6] = 0xFF;
    entry[7] = 0xFF;
    LittleEndian::write32(entry, protectiveStartOffset, 1);
    const std::int64_t covered = std::clamp<std::int64_t>(diskSectorCount - 1, 0, max32);
    LittleEndian::write32(entry, protectiveCountOffset, static_cast<std::uint32_t>(covered));
    sector[MbrBuilder::bootSignatureOffset] = 0x55;
    sector[MbrBuilder::bootSignatureOffset + 1] = 0xAA;
    return sector;
}

std::optional<ParsedGptHeader> parseHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < headerSize || !std::equal(std::begin(headerSignature), std::end(headerSignature), bytes.begin())) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> covered(bytes.begin(), bytes.begin() + headerSize);
    LittleEndian::write32(covered, headerCrcOffset, 0);
    return ParsedGptHeader{
        .headerCrcValid = crc32(covered) == LittleEndian::read32(bytes, headerCrcOffset),
        .myLba = signedLba(bytes, myLbaOffset),
        .alternateLba = signedLba(bytes, alternateLbaOffset),
        .firstUsableLba = signedLba(bytes, firstUsableLbaOffset),
        .lastUsableLba = signedLba(bytes, lastUsableLbaOffset),
        .entryArrayLba = signedLba(bytes, entryArrayLbaOffset),
        .numberOfEntries = LittleEndian::read32(bytes, numberOfEntriesOffset),
        .sizeOfEntry = LittleEndian::read32(bytes, sizeOfEntryOffset),
        .entriesCrc = LittleEndian::read32(bytes, entriesCrcOffset),
    };
}

std::optional<ParsedGptEntry> parseEntry(std::span<const std::uint8_t> entries, std::int64_t index) {
    // Compared by whole entries so that a huge index cannot wrap the byte offset.
    if (index < 0 || static_cast<std::uint64_t>(index) >= entries.size() / entrySize) return std::nullopt;
    const std::span entry = entries.subspan(static_cast<std::size_t>(index) * entrySize, entrySize);
    return ParsedGptEntry{
        .typeGuid = std::vector<std::uint8_t>(entry.begin() + typeGuidOffset, entry.begin() + typeGuidOffset + guidBytes),
        .startLba = signedLba(entry, startLbaOffset),
        .endLba = signedLba(entry, endLbaOffset),
    };
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    // zlib's crc32 is this very CRC (reflected 0xEDB88320, inverted in and out).
    return static_cast<std::uint32_t>(::crc32_z(::crc32_z(0L, Z_NULL, 0), bytes.data(), bytes.size()));
}

std::vector<std::uint8_t> deriveGuid(std::int32_t seed, std::int32_t salt) {
    constexpr std::uint64_t golden = 0x9E37'79B9'7F4A'7C15;
    // Widened through their 32-bit patterns: no sign extension.
    std::uint64_t state = std::uint64_t{static_cast<std::uint32_t>(seed)} ^
                          (std::uint64_t{static_cast<std::uint32_t>(salt)} << 16) ^ golden;
    std::vector<std::uint8_t> guid(guidBytes);
    for (std::uint8_t& byte : guid) {
        state += golden;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9;
        z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EB;
        z ^= z >> 31;
        byte = static_cast<std::uint8_t>(z);
    }
    return guid;
}

}  // namespace GptBuilder
}  // namespace marlowick
