#include "Mbr/MbrBuilder.hpp"

#include <algorithm>

#include "Bytes/LittleEndian.hpp"
#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

using namespace MbrBuilder;

// Inside one 16-byte entry.
constexpr std::size_t statusOffset = 0;
constexpr std::size_t firstChsOffset = 1;
constexpr std::size_t typeOffset = 4;
constexpr std::size_t lastChsOffset = 5;
constexpr std::size_t startLbaOffset = 8;
constexpr std::size_t sectorCountOffset = 12;
constexpr std::uint8_t activeStatus = 0x80;
// Past the reach of CHS: every reader uses the LBA fields.
constexpr std::uint8_t chsBeyondReach[3] = {0xFE, 0xFF, 0xFF};
constexpr std::int64_t max32 = 0xFFFF'FFFF;
// The pointer's last byte must be inside what we look at.
constexpr std::size_t pointerEnd = coreImgSectorPointerOffset + coreImgSectorPointerBytes;

struct Renderer {
    std::string operator()(const MbrBuilderError::TooManyPartitions& e) const {
        return CaseDescription("tooManyPartitions").field("count", e.count).field("max", e.max).str();
    }
    std::string operator()(const MbrBuilderError::OversizedBootCode& e) const {
        return CaseDescription("oversizedBootCode").field("size", e.size).field("max", e.max).str();
    }
    std::string operator()(const MbrBuilderError::StartLbaOutOf32BitRange& e) const {
        return CaseDescription("startLbaOutOf32BitRange").value(e.start).str();
    }
    std::string operator()(const MbrBuilderError::SectorCountOutOf32BitRange& e) const {
        return CaseDescription("sectorCountOutOf32BitRange").value(e.count).str();
    }
};

void writeEntry(std::span<std::uint8_t> entry, const PartitionEntry& partition) {
    if (partition.startLba < 0 || partition.startLba > max32) {
        throw MbrBuilderError(MbrBuilderError::StartLbaOutOf32BitRange{partition.startLba});
    }
    if (partition.sectorCount < 0 || partition.sectorCount > max32) {
        throw MbrBuilderError(MbrBuilderError::SectorCountOutOf32BitRange{partition.sectorCount});
    }
    entry[statusOffset] = partition.bootable ? activeStatus : 0x00;
    std::copy(std::begin(chsBeyondReach), std::end(chsBeyondReach), entry.begin() + firstChsOffset);
    entry[typeOffset] = partition.type;
    std::copy(std::begin(chsBeyondReach), std::end(chsBeyondReach), entry.begin() + lastChsOffset);
    LittleEndian::write32(entry, startLbaOffset, static_cast<std::uint32_t>(partition.startLba));
    LittleEndian::write32(entry, sectorCountOffset, static_cast<std::uint32_t>(partition.sectorCount));
}

PartitionEntry readEntry(std::span<const std::uint8_t> entry) {
    return PartitionEntry{
        .bootable = entry[statusOffset] == activeStatus,
        .type = entry[typeOffset],
        .startLba = LittleEndian::read32(entry, startLbaOffset),
        .sectorCount = LittleEndian::read32(entry, sectorCountOffset),
    };
}

}  // namespace

MbrBuilderError::MbrBuilderError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

std::string render(const MbrBuilderError::Case& error) { return std::visit(Renderer{}, error); }

void PrintTo(const ParsedMbr& value, std::ostream* os) {
    *os << "ParsedMbr(hasSignature: " << (value.hasSignature ? "true" : "false")
        << ", diskSignature: " << value.diskSignature << ", entries: [";
    for (std::size_t i = 0; i < value.entries.size(); ++i) {
        const PartitionEntry& e = value.entries[i];
        *os << (i == 0 ? "" : ", ") << "(" << (e.bootable ? "active" : "inactive") << ", type " << int{e.type}
            << ", start " << e.startLba << ", count " << e.sectorCount << ")";
    }
    *os << "])";
}

namespace MbrBuilder {

std::vector<std::uint8_t> build(std::span<const PartitionEntry> entries, std::uint32_t diskSignature,
                                std::span<const std::uint8_t> bootCode) {
    if (entries.size() > maxPartitionEntries) {
        throw MbrBuilderError(MbrBuilderError::TooManyPartitions{static_cast<std::int64_t>(entries.size()),
                                                                 static_cast<std::int64_t>(maxPartitionEntries)});
    }
    std::vector<std::uint8_t> sector(sectorSize, 0);
    if (bootCode.size() > maxBootCodeBytes) {
        throw MbrBuilderError(MbrBuilderError::OversizedBootCode{static_cast<std::int64_t>(bootCode.size()),
                                                                 static_cast<std::int64_t>(maxBootCodeBytes)});
    }
    std::copy(bootCode.begin(), bootCode.end(), sector.begin());
    LittleEndian::write32(sector, diskSignatureOffset, diskSignature);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        writeEntry(std::span(sector).subspan(partitionTableOffset + partitionEntrySize * i, partitionEntrySize),
                   entries[i]);
    }
    sector[bootSignatureOffset] = 0x55;
    sector[bootSignatureOffset + 1] = 0xAA;
    return sector;
}

std::optional<ParsedMbr> parse(std::span<const std::uint8_t> sector) {
    if (sector.size() < sectorSize) return std::nullopt;
    ParsedMbr parsed;
    parsed.hasSignature = sector[bootSignatureOffset] == 0x55 && sector[bootSignatureOffset + 1] == 0xAA;
    parsed.diskSignature = LittleEndian::read32(sector, diskSignatureOffset);
    for (std::size_t i = 0; i < maxPartitionEntries; ++i) {
        parsed.entries.push_back(readEntry(sector.subspan(partitionTableOffset + partitionEntrySize * i, partitionEntrySize)));
    }
    return parsed;
}

std::optional<std::vector<std::uint8_t>> patchCoreImgPointer(std::span<const std::uint8_t> bootCode,
                                                             std::int64_t coreStartSector) {
    if (bootCode.size() < pointerEnd || coreStartSector < 0) return std::nullopt;
    std::vector<std::uint8_t> patched(bootCode.begin(), bootCode.end());
    LittleEndian::write64(patched, coreImgSectorPointerOffset, static_cast<std::uint64_t>(coreStartSector));
    return patched;
}

std::optional<std::int64_t> coreImgSectorPointer(std::span<const std::uint8_t> bootCodeOrSector) {
    if (bootCodeOrSector.size() < pointerEnd) return std::nullopt;
    const std::uint64_t stored = LittleEndian::read64(bootCodeOrSector, coreImgSectorPointerOffset);
    if (stored > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(stored);
}

}  // namespace MbrBuilder
}  // namespace marlowick
