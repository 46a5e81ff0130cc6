#include "Image/IsoUefiEvidence.hpp"

#include <algorithm>
#include <vector>

namespace marlowick::IsoUefiEvidence {
namespace {

constexpr std::size_t mbrBytes = 512;
constexpr std::size_t bootSignatureOffset = 510;
constexpr std::array<std::size_t, 4> partitionTypeOffsets{450, 466, 482, 498};
constexpr std::uint8_t protectiveGptType = 0xEE;
constexpr std::uint8_t efiSystemType = 0xEF;

// Validation entry (the catalog's first entry).
constexpr std::uint8_t validationHeaderId = 0x01;
constexpr std::size_t platformIdOffset = 1;
constexpr std::size_t keyByteOffset = 30;  // 0x55 0xAA

// Section headers follow the validation entry and the initial/default entry.
constexpr std::size_t firstSectionHeaderOffset = 64;
constexpr std::uint8_t endOfHeaders = 0x00;
constexpr std::uint8_t moreHeadersFollow = 0x90;
constexpr std::uint8_t finalHeader = 0x91;
constexpr std::size_t sectionEntryCountOffset = 2;
constexpr std::uint8_t extensionIndicator = 0x44;

bool hasBootSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= mbrBytes && bytes[bootSignatureOffset] == 0x55 && bytes[bootSignatureOffset + 1] == 0xAA;
}

}  // namespace

bool mbrHasUefiPartition(std::span<const std::uint8_t> firstBytes) {
    if (!hasBootSignature(firstBytes)) return false;
    return std::any_of(partitionTypeOffsets.begin(), partitionTypeOffsets.end(), [&](std::size_t offset) {
        return firstBytes[offset] == protectiveGptType || firstBytes[offset] == efiSystemType;
    });
}

bool isValidCatalog(std::span<const std::uint8_t> catalog) {
    if (catalog.size() < catalogEntryBytes) return false;
    if (catalog[0] != validationHeaderId || catalog[keyByteOffset] != 0x55 || catalog[keyByteOffset + 1] != 0xAA) {
        return false;
    }
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < catalogEntryBytes; i += 2) {
        sum = static_cast<std::uint16_t>(sum + (catalog[i] | (catalog[i + 1] << 8)));
    }
    return sum == 0;
}

IsoUefiBoot catalogUefiBoot(std::span<const std::uint8_t> catalog) {
    if (!isValidCatalog(catalog)) return IsoUefiBoot::unknown;
    if (catalog[platformIdOffset] == efiPlatformId) return IsoUefiBoot::present;

    const std::size_t size = catalog.size();
    // `position` only grows, by at least one entry per header, so the walk always ends;
    // every byte is read only after checking that its whole entry lies inside the catalog.
    std::size_t position = firstSectionHeaderOffset;
    while (true) {
        if (position > size || size - position < catalogEntryBytes) return IsoUefiBoot::unknown;
        const std::uint8_t indicator = catalog[position];
        if (indicator == endOfHeaders) return IsoUefiBoot::none;
        if (indicator != moreHeadersFollow && indicator != finalHeader) return IsoUefiBoot::unknown;
        if (catalog[position + platformIdOffset] == efiPlatformId) return IsoUefiBoot::present;
        if (indicator == finalHeader) return IsoUefiBoot::none;

        const unsigned entryCount =
            catalog[position + sectionEntryCountOffset] | (catalog[position + sectionEntryCountOffset + 1] << 8);
        position += catalogEntryBytes;
        for (unsigned entry = 0; entry < entryCount && position <= size; ++entry) {
            position += catalogEntryBytes;
            while (position <= size && size - position >= catalogEntryBytes &&
                   catalog[position] == extensionIndicator) {
                position += catalogEntryBytes;
            }
        }
    }
}

std::optional<CatalogSector> readSector(std::int64_t skip, RawImageStream& stream) {
    if (skip < 0) return std::nullopt;
    const auto fillsWhole = [&stream](std::span<std::uint8_t> buffer) {
        const RawImageFill fill = stream.fill(buffer);
        return !fill.failure && fill.filled == static_cast<std::int64_t>(buffer.size());
    };
    std::vector<std::uint8_t> scratch(skipChunkBytes);
    while (skip > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(skip, skipChunkBytes));
        if (!fillsWhole(std::span(scratch).first(chunk))) return std::nullopt;
        skip -= static_cast<std::int64_t>(chunk);
    }
    CatalogSector sector{};
    if (!fillsWhole(sector)) return std::nullopt;
    return sector;
}

}  // namespace marlowick::IsoUefiEvidence
