#include "Fat32/Fat32Structures.hpp"

#include <algorithm>
#include <stdexcept>

#include "Bytes/LittleEndian.hpp"
#include "Fat32/LabelText.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick::Fat32Structures {
namespace {

// Boot sector fields.
constexpr std::size_t jumpOffset = 0;
constexpr std::size_t oemNameOffset = 3;
constexpr std::size_t bytesPerSectorOffset = 11;
constexpr std::size_t sectorsPerClusterOffset = 13;
constexpr std::size_t reservedSectorsOffset = 14;
constexpr std::size_t numberOfFatsOffset = 16;
constexpr std::size_t mediaOffset = 21;
constexpr std::size_t sectorsPerTrackOffset = 24;
constexpr std::size_t headsOffset = 26;
constexpr std::size_t hiddenSectorsOffset = 28;
constexpr std::size_t totalSectorsOffset = 32;
constexpr std::size_t fatSizeOffset = 36;
constexpr std::size_t rootClusterOffset = 44;
constexpr std::size_t fsInfoSectorOffset = 48;
constexpr std::size_t backupBootSectorOffset = 50;
constexpr std::size_t driveNumberOffset = 64;
constexpr std::size_t extendedSignatureOffset = 66;
constexpr std::size_t volumeIdOffset = 67;
constexpr std::size_t volumeLabelOffset = 71;
constexpr std::size_t fileSystemTypeOffset = 82;
constexpr std::size_t signatureOffset = 510;  // 55 AA at 510 whatever the sector size

constexpr std::uint8_t jump[] = {0xEB, 0x58, 0x90};
constexpr std::string_view oemName = "KESTRLFS";
constexpr std::string_view fileSystemType = "FAT32   ";
constexpr std::uint8_t extendedBootSignature = 0x29;
constexpr std::uint8_t driveNumber = 0x80;
// CHS figures nobody addresses a modern drive by, but some firmware insists on.
constexpr std::uint16_t sectorsPerTrack = 63;
constexpr std::uint16_t heads = 255;

// FSInfo fields.
constexpr std::size_t leadSignatureOffset = 0;
constexpr std::size_t structSignatureOffset = 484;
constexpr std::size_t freeCountOffset = 488;
constexpr std::size_t nextFreeOffset = 492;
constexpr std::size_t trailSignatureOffset = 508;
constexpr std::uint32_t leadSignature = 0x41615252;
constexpr std::uint32_t structSignature = 0x61417272;
constexpr std::uint32_t trailSignature = 0xAA550000;
constexpr std::uint32_t freeCountUnknown = 0xFFFFFFFF;

// Directory entry fields.
constexpr std::size_t entryAttributeOffset = 11;

constexpr std::string_view noName = "NO NAME    ";

void checkRange(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
    if (offset + width > bytes.size()) {
        throw std::out_of_range("FAT32 field at " + std::to_string(offset) + " past " + std::to_string(bytes.size()) +
                                " bytes");
    }
}

// Checked: a sector too short for a field throws instead of being written or read past.
void putLE16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    checkRange(bytes, offset, 2);
    LittleEndian::write16(bytes, offset, value);
}

void putLE32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    checkRange(bytes, offset, 4);
    LittleEndian::write32(bytes, offset, value);
}

std::uint16_t getLE16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    checkRange(bytes, offset, 2);
    return LittleEndian::read16(bytes, offset);
}

std::uint32_t getLE32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    checkRange(bytes, offset, 4);
    return LittleEndian::read32(bytes, offset);
}

template <class Bytes>
void putBytes(std::vector<std::uint8_t>& out, std::size_t offset, const Bytes& bytes) {
    checkRange(out, offset, std::size(bytes));
    std::copy(std::begin(bytes), std::end(bytes), out.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool holds(std::span<const std::uint8_t> bytes, std::size_t offset, std::string_view text) {
    return bytes.size() >= offset + text.size() &&
           std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

// A directory entry's name cannot begin with a space: checkers drop such a label entry
// as invalid. Leading spaces are therefore left out, and spaces alone are no label.
std::string_view effectiveLabel(const Label& label) {
    if (!label) return {};
    const std::string_view text = *label;
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

bool hasLabel(const Label& label) { return !effectiveLabel(label).empty(); }

std::uint8_t labelByte(const std::u32string& character) {
    if (character.size() != 1) return '_';
    const char32_t c = character.front();
    if (c < 0x20 || c > 0x7E || forbiddenLabelChars.find(static_cast<char>(c)) != std::string_view::npos) return '_';
    return static_cast<std::uint8_t>(c);
}

std::optional<std::vector<std::uint8_t>> readOneSector(BlockDevice& block, std::int64_t sector) {
    BlockReadResult read = block.readSectors(sector, 1);
    auto* success = std::get_if<BlockReadSuccess>(&read);
    if (success == nullptr) return std::nullopt;
    return std::move(success->data);
}

}  // namespace

void PrintTo(const FreeSpace& space, std::ostream* os) {
    *os << "(freeBytes: " << space.freeBytes << ", totalBytes: " << space.totalBytes << ")";
}

std::vector<std::uint8_t> buildBootSector(const Fat32Layout& layout, std::uint32_t volumeSerialNumber,
                                          const Label& volumeLabel) {
    std::vector<std::uint8_t> sector(static_cast<std::size_t>(layout.bytesPerSector), 0);
    putBytes(sector, jumpOffset, jump);
    putBytes(sector, oemNameOffset, oemName);
    putLE16(sector, bytesPerSectorOffset, static_cast<std::uint16_t>(layout.bytesPerSector));
    sector.at(sectorsPerClusterOffset) = static_cast<std::uint8_t>(layout.sectorsPerCluster);
    putLE16(sector, reservedSectorsOffset, static_cast<std::uint16_t>(layout.reservedSectorCount));
    sector.at(numberOfFatsOffset) = static_cast<std::uint8_t>(layout.numberOfFats);
    // Root entry count, 16-bit total sectors and 16-bit FAT size stay zero: FAT32 uses the 32-bit fields.
    sector.at(mediaOffset) = mediaDescriptor;
    putLE16(sector, sectorsPerTrackOffset, sectorsPerTrack);
    putLE16(sector, headsOffset, heads);
    putLE32(sector, hiddenSectorsOffset, static_cast<std::uint32_t>(layout.partitionOffsetSectors));
    putLE32(sector, totalSectorsOffset, static_cast<std::uint32_t>(layout.volumeLengthSectors));
    putLE32(sector, fatSizeOffset, static_cast<std::uint32_t>(layout.fatLengthSectors));
    // Extended flags 0: both FATs are kept as mirrors. Version 0.0.
    putLE32(sector, rootClusterOffset, static_cast<std::uint32_t>(layout.rootDirFirstCluster));
    putLE16(sector, fsInfoSectorOffset, fsInfoSector);
    putLE16(sector, backupBootSectorOffset, backupBootSector);
    sector.at(driveNumberOffset) = driveNumber;
    sector.at(extendedSignatureOffset) = extendedBootSignature;
    putLE32(sector, volumeIdOffset, volumeSerialNumber);
    putBytes(sector, volumeLabelOffset, encodeVolumeLabel(volumeLabel));
    putBytes(sector, fileSystemTypeOffset, fileSystemType);
    // No boot code: the volume holds data, and firmware boots the drive's other partitions.
    sector.at(signatureOffset) = 0x55;
    sector.at(signatureOffset + 1) = 0xAA;
    return sector;
}

std::vector<std::uint8_t> buildFsInfoSector(const Fat32Layout& layout) {
    std::vector<std::uint8_t> sector(static_cast<std::size_t>(layout.bytesPerSector), 0);
    putLE32(sector, leadSignatureOffset, leadSignature);
    putLE32(sector, structSignatureOffset, structSignature);
    putLE32(sector, freeCountOffset, static_cast<std::uint32_t>(layout.freeClusterCount()));
    putLE32(sector, nextFreeOffset, static_cast<std::uint32_t>(layout.rootDirFirstCluster + 1));
    putLE32(sector, trailSignatureOffset, trailSignature);
    return sector;
}

std::vector<std::uint8_t> buildFatHeadSector(const Fat32Layout& layout) {
    std::vector<std::uint8_t> sector(static_cast<std::size_t>(layout.bytesPerSector), 0);
    putLE32(sector, 0, fatEntry0);
    putLE32(sector, 4, fatEndOfChain);
    putLE32(sector, 8, fatEndOfChain);  // cluster 2: the root directory, one cluster long
    return sector;
}

std::vector<std::uint8_t> buildRootDirectoryCluster(const Fat32Layout& layout, const Label& volumeLabel) {
    std::vector<std::uint8_t> cluster(static_cast<std::size_t>(layout.clusterSizeBytes()), 0);
    if (hasLabel(volumeLabel)) {
        putBytes(cluster, 0, encodeVolumeLabel(volumeLabel));
        cluster.at(entryAttributeOffset) = attrVolumeID;
    }
    return cluster;
}

EncodedLabel encodeVolumeLabel(const Label& label) {
    EncodedLabel encoded;
    if (!hasLabel(label)) {
        std::copy(noName.begin(), noName.end(), encoded.begin());
        return encoded;
    }
    encoded.fill(' ');
    const std::vector<std::u32string> characters = LabelText::upperCasedCharacters(effectiveLabel(label));
    const std::size_t kept = std::min(characters.size(), encoded.size());
    std::transform(characters.begin(), characters.begin() + static_cast<std::ptrdiff_t>(kept), encoded.begin(),
                   labelByte);
    return encoded;
}

bool isFat32BootSector(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 512 && bytes[signatureOffset] == 0x55 && bytes[signatureOffset + 1] == 0xAA &&
           bytes[extendedSignatureOffset] == extendedBootSignature && holds(bytes, fileSystemTypeOffset, fileSystemType);
}

std::optional<std::string> readVolumeLabelIfFat32(std::span<const std::uint8_t> bytes) {
    if (!isFat32BootSector(bytes)) return std::nullopt;
    const auto* first = bytes.data() + volumeLabelOffset;
    std::string label = repairedUtf8(
        std::string_view(reinterpret_cast<const char*>(first), static_cast<std::size_t>(maxVolumeLabelChars)));
    while (!label.empty() && (label.back() == ' ' || label.back() == '\0')) label.pop_back();
    return label;
}

std::uint32_t volumeSerial(std::span<const std::uint8_t> bytes) { return getLE32(bytes, volumeIdOffset); }

std::optional<FreeSpace> readFreeSpace(BlockDevice& block, std::int64_t startSector) {
    const auto boot = readOneSector(block, startSector);
    if (!boot || !isFat32BootSector(*boot)) return std::nullopt;
    if (getLE16(*boot, bytesPerSectorOffset) != block.sectorSize()) return std::nullopt;

    const std::uint32_t sectorsPerCluster = (*boot)[sectorsPerClusterOffset];
    const std::int64_t reserved = getLE16(*boot, reservedSectorsOffset);
    const std::int64_t fats = (*boot)[numberOfFatsOffset];
    const std::uint32_t totalSectors = getLE32(*boot, totalSectorsOffset);
    const std::int64_t fatSize = getLE32(*boot, fatSizeOffset);
    const std::int64_t fsInfo = getLE16(*boot, fsInfoSectorOffset);
    if (sectorsPerCluster == 0) return std::nullopt;
    const std::int64_t dataStart = reserved + fatSize * fats;
    if (dataStart >= totalSectors || fsInfo == 0 || fsInfo >= reserved) return std::nullopt;

    const auto info = readOneSector(block, startSector + fsInfo);
    if (!info || getLE32(*info, leadSignatureOffset) != leadSignature ||
        getLE32(*info, structSignatureOffset) != structSignature) {
        return std::nullopt;
    }
    const std::uint32_t freeCount = getLE32(*info, freeCountOffset);
    if (freeCount == freeCountUnknown) return std::nullopt;
    const auto totalClusters = static_cast<std::uint32_t>((totalSectors - dataStart) / sectorsPerCluster);
    if (totalClusters < freeCount) return std::nullopt;
    const std::int64_t clusterBytes = static_cast<std::int64_t>(sectorsPerCluster) * block.sectorSize();
    return FreeSpace{freeCount * clusterBytes, totalClusters * clusterBytes};
}

}  // namespace marlowick::Fat32Structures
