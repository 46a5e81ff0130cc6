#include "Image/IsoInspector.hpp"

#include "Image/IsoUefiEvidence.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

namespace marlowick::IsoInspector {
namespace {

constexpr std::int64_t firstDescriptor = 16;
constexpr std::int64_t lastScannedDescriptor = 21;
constexpr std::size_t identifierOffset = 1;  // in every volume descriptor
constexpr std::uint8_t bootRecordType = 0;
constexpr std::uint8_t primaryType = 1;
constexpr std::uint8_t terminatorType = 255;
constexpr std::size_t systemIdentifierOffset = 7;  // in the boot record
constexpr std::size_t catalogSectorOffset = 71;    // in the boot record
constexpr std::size_t volumeSpaceSizeOffset = 80;  // in the primary descriptor
constexpr std::size_t logicalBlockSizeOffset = 128;
constexpr std::size_t bootCodeBytes = 440;  // in sector 0, before the disk signature

std::uint32_t littleEndian32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

bool matches(std::span<const std::uint8_t> bytes, std::size_t offset, std::string_view text) {
    return std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

struct BootRecordScan {
    IsoBootRecord bootRecord = IsoBootRecord::unknown;
    std::span<const std::uint8_t> descriptor;  // the El Torito boot record, when found
};

// Walks descriptors 16-21 until the boot record or the set terminator. Each descriptor is
// looked at only when all of it was read.
BootRecordScan scanBootRecord(std::span<const std::uint8_t> image) {
    for (std::int64_t index = firstDescriptor; index <= lastScannedDescriptor; ++index) {
        const std::int64_t start = index * sectorBytes;
        if (static_cast<std::int64_t>(image.size()) < start + sectorBytes) return {};
        const auto descriptor = image.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(sectorBytes));
        if (!matches(descriptor, identifierOffset, identifier)) return {};
        if (descriptor[0] == terminatorType) return {IsoBootRecord::none, {}};
        if (descriptor[0] == bootRecordType) {
            if (!matches(descriptor, systemIdentifierOffset, elToritoSystemIdentifier)) return {};
            return {IsoBootRecord::elTorito, descriptor};
        }
    }
    return {};
}

std::optional<std::int64_t> declaredBytes(std::span<const std::uint8_t> image) {
    const auto primaryStart = static_cast<std::size_t>(firstDescriptor * sectorBytes);
    if (image.size() < primaryStart + logicalBlockSizeOffset + 2 || image[primaryStart] != primaryType) {
        return std::nullopt;
    }
    const std::int64_t blocks = littleEndian32(image, primaryStart + volumeSpaceSizeOffset);
    const std::int64_t blockSize =
        image[primaryStart + logicalBlockSizeOffset] | (image[primaryStart + logicalBlockSizeOffset + 1] << 8);
    if (blocks < 1 || blockSize < 1) return std::nullopt;
    return blocks * blockSize;  // at most 2^32 × 2^16: no overflow
}

// The catalog from the buffer when it lies wholly inside it; otherwise read forward on the
// same stream when the buffer was filled and the catalog is no farther than 16 MiB.
IsoUefiBoot catalogEvidence(std::span<const std::uint8_t> image, std::span<const std::uint8_t> bootRecord,
                            RawImageStream& stream) {
    const std::int64_t offset = std::int64_t{littleEndian32(bootRecord, catalogSectorOffset)} * sectorBytes;
    const auto filled = static_cast<std::int64_t>(image.size());
    if (offset + sectorBytes <= filled) {
        return IsoUefiEvidence::catalogUefiBoot(
            image.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(sectorBytes)));
    }
    if (filled == preflightBytes && offset >= preflightBytes && offset <= maxCatalogOffset) {
        const auto sector = IsoUefiEvidence::readSector(offset - preflightBytes, stream);
        if (sector) return IsoUefiEvidence::catalogUefiBoot(*sector);
    }
    return IsoUefiBoot::unknown;
}

// A boot signature alone is no hybrid: a plain data image made with a partition table
// has one too. It takes an El Torito record, boot code, or an EFI system partition
// beside the signature for the image to start a PC once written to a drive.
bool bootsAsADisk(std::span<const std::uint8_t> image, IsoBootRecord bootRecord) {
    const bool bootSignature = image[510] == 0x55 && image[511] == 0xAA;
    if (!bootSignature) return false;
    const auto bootCode = image.first(bootCodeBytes);
    const bool hasBootCode = std::ranges::any_of(bootCode, [](std::uint8_t b) { return b != 0; });
    return bootRecord == IsoBootRecord::elTorito || hasBootCode || IsoUefiEvidence::mbrHasUefiPartition(image);
}

}  // namespace

IsoHeader readHeader(RawImageStream& stream) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(preflightBytes));
    const RawImageFill fill = stream.fill(buffer);
    if (fill.failure) return IsoHeader::unreadable(*fill.failure);
    const auto image = std::span<const std::uint8_t>(buffer).first(static_cast<std::size_t>(fill.filled));

    const auto primaryStart = static_cast<std::size_t>(firstDescriptor * sectorBytes);
    if (fill.filled < headerBytes || !matches(image, primaryStart + identifierOffset, identifier)) {
        return IsoHeader::notIso9660();
    }

    IsoHeader header;
    const BootRecordScan scan = scanBootRecord(image);
    header.bootRecord = scan.bootRecord;
    header.inspection.value = bootsAsADisk(image, scan.bootRecord) ? IsoInspection::Case{IsoInspection::Isohybrid{}}
                                                                   : IsoInspection::Case{IsoInspection::PlainIso9660{}};
    header.declaredBytes = declaredBytes(image);
    if (scan.bootRecord == IsoBootRecord::elTorito) {
        header.uefiBoot = IsoUefiEvidence::mbrHasUefiPartition(image) ? IsoUefiBoot::present
                                                                      : catalogEvidence(image, scan.descriptor, stream);
    }
    return header;
}

IsoInspection inspect(RawImageStream& stream) { return readHeader(stream).inspection; }

IsoHeader readHeader(const RawImageSource& source) {
    RawImageOpenResult opened = source.open();
    if (auto* failed = std::get_if<RawImageOpenResult::Failed>(&opened.value)) {
        return IsoHeader::unreadable(std::move(failed->detail));
    }
    RawImageStream& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
    IsoHeader header = readHeader(stream);
    stream.close();
    return header;
}

IsoInspection inspect(const RawImageSource& source) { return readHeader(source).inspection; }

}  // namespace marlowick::IsoInspector
