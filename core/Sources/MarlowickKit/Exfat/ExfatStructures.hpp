#pragma once
// The bytes of a fresh exFAT volume's metadata, built from an ExfatLayout: boot sectors and
// their checksum, the FAT, the allocation bitmap, the up-case table image and the root
// directory, plus file entry sets and the checksums and hashes they carry. Pure functions:
// nothing here touches a device. Every on-disk offset and entry type is named here once,
// for the builders and for the code that parses the same structures back.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Exfat/ExfatLayout.hpp"
#include "Exfat/ExfatTimestamp.hpp"
#include "Exfat/ExfatUpcaseTable.hpp"

namespace marlowick {

struct ExfatStructuresError : std::runtime_error {
    struct VolumeLabelTooLong {
        std::int64_t count;
        std::int64_t max;
        bool operator==(const VolumeLabelTooLong&) const = default;
    };
    struct FileNameTooLong {
        std::int64_t count;
        std::int64_t max;
        bool operator==(const FileNameTooLong&) const = default;
    };
    struct EmptyFileName {
        bool operator==(const EmptyFileName&) const = default;
    };
    using Case = std::variant<VolumeLabelTooLong, FileNameTooLong, EmptyFileName>;

    explicit ExfatStructuresError(Case c);  // what() is the rendering
    Case value;
};

// "volumeLabelTooLong(count: 12, max: 11)", "emptyFileName"
[[nodiscard]] std::string render(const ExfatStructuresError::Case& error);

namespace ExfatStructures {

using ExfatTimestamp = marlowick::ExfatTimestamp;

inline constexpr std::size_t dirEntrySize = 32;
inline constexpr std::size_t upcaseTableLength = ExfatUpcaseTable::length;
inline constexpr std::size_t maxVolumeLabelChars = 11;
inline constexpr std::size_t maxFileNameChars = 255;
inline constexpr std::size_t fileNameCharsPerEntry = 15;

// Boot region: sector 0 main boot sector, 1-8 extended boot sectors, 9 OEM parameters,
// 10 reserved, 11 the checksum of sectors 0-10. The backup region repeats it at sector 12.
namespace BootRegion {
inline constexpr std::int64_t sectors = 12;
inline constexpr std::int64_t mainBootSector = 0;
inline constexpr std::int64_t firstExtendedBootSector = 1;
inline constexpr std::int64_t extendedBootSectors = 8;
inline constexpr std::int64_t oemParametersSector = 9;
inline constexpr std::int64_t checksumSector = 11;
inline constexpr std::int64_t checksummedSectors = 11;
inline constexpr std::int64_t backupOffsetSectors = 12;
}  // namespace BootRegion

// Fields of the main boot sector.
namespace BootSector {
inline constexpr std::size_t jumpBootOffset = 0;            // EB 76 90
inline constexpr std::size_t fileSystemNameOffset = 3;      // "EXFAT   "
inline constexpr std::size_t partitionOffsetOffset = 64;    // u64
inline constexpr std::size_t volumeLengthOffset = 72;       // u64
inline constexpr std::size_t fatOffsetOffset = 80;          // u32
inline constexpr std::size_t fatLengthOffset = 84;          // u32
inline constexpr std::size_t clusterHeapOffsetOffset = 88;  // u32
inline constexpr std::size_t clusterCountOffset = 92;       // u32
inline constexpr std::size_t firstClusterOfRootDirectoryOffset = 96;  // u32
inline constexpr std::size_t volumeSerialNumberOffset = 100;          // u32
inline constexpr std::size_t fileSystemRevisionOffset = 104;          // u16
inline constexpr std::size_t volumeFlagsOffset = 106;                 // u16
inline constexpr std::size_t bytesPerSectorShiftOffset = 108;         // u8
inline constexpr std::size_t sectorsPerClusterShiftOffset = 109;      // u8
inline constexpr std::size_t numberOfFatsOffset = 110;                // u8
inline constexpr std::size_t driveSelectOffset = 111;                 // u8
inline constexpr std::size_t percentInUseOffset = 112;                // u8
inline constexpr std::size_t bootSignatureOffset = 510;               // 55 AA
inline constexpr std::string_view fileSystemName = "EXFAT   ";
inline constexpr std::uint16_t fileSystemRevision = 0x0100;  // 1.00
inline constexpr std::uint8_t driveSelect = 0x80;
inline constexpr std::uint32_t extendedBootSignature = 0xAA550000;  // last four bytes of each extended sector
}  // namespace BootSector

// FAT entries.
namespace Fat {
inline constexpr std::uint32_t mediaEntry = 0xFFFFFFF8;  // entry 0
inline constexpr std::uint32_t endOfChain = 0xFFFFFFFF;  // entry 1 and the last cluster of a chain
inline constexpr std::uint32_t badCluster = 0xFFFFFFF7;
inline constexpr std::size_t entrySize = 4;
}  // namespace Fat

// Directory entry types (bit 7 = in use) and the fields the builders write.
namespace EntryType {
inline constexpr std::uint8_t endOfDirectory = 0x00;
inline constexpr std::uint8_t allocationBitmap = 0x81;
inline constexpr std::uint8_t upcaseTable = 0x82;
inline constexpr std::uint8_t volumeLabel = 0x83;
inline constexpr std::uint8_t file = 0x85;
inline constexpr std::uint8_t volumeGuid = 0xA0;
inline constexpr std::uint8_t streamExtension = 0xC0;
inline constexpr std::uint8_t fileName = 0xC1;
inline constexpr std::uint8_t inUseBit = 0x80;
}  // namespace EntryType

namespace DirEntry {
inline constexpr std::size_t entryTypeOffset = 0;
// Allocation bitmap and up-case table entries.
inline constexpr std::size_t bitmapFlagsOffset = 1;
inline constexpr std::size_t tableChecksumOffset = 4;  // u32, up-case table
inline constexpr std::size_t firstClusterOffset = 20;  // u32, also the stream extension's
inline constexpr std::size_t dataLengthOffset = 24;    // u64, also the stream extension's
// Volume label entry.
inline constexpr std::size_t characterCountOffset = 1;
inline constexpr std::size_t volumeLabelOffset = 2;  // 11 UTF-16 code units
// File entry.
inline constexpr std::size_t secondaryCountOffset = 1;
inline constexpr std::size_t setChecksumOffset = 2;  // u16
inline constexpr std::size_t fileAttributesOffset = 4;
inline constexpr std::size_t createTimestampOffset = 8;
inline constexpr std::size_t lastModifiedTimestampOffset = 12;
inline constexpr std::size_t lastAccessedTimestampOffset = 16;
inline constexpr std::size_t create10msIncrementOffset = 20;
inline constexpr std::size_t lastModified10msIncrementOffset = 21;
inline constexpr std::size_t createUtcOffsetOffset = 22;
inline constexpr std::size_t lastModifiedUtcOffsetOffset = 23;
inline constexpr std::size_t lastAccessedUtcOffsetOffset = 24;
inline constexpr std::uint16_t attributeDirectory = 0x10;
inline constexpr std::uint16_t attributeArchive = 0x20;
// Stream extension entry.
inline constexpr std::size_t generalSecondaryFlagsOffset = 1;
inline constexpr std::size_t nameLengthOffset = 3;
inline constexpr std::size_t nameHashOffset = 4;         // u16
inline constexpr std::size_t validDataLengthOffset = 8;  // u64
inline constexpr std::uint8_t allocationPossible = 0x01;
inline constexpr std::uint8_t noFatChain = 0x02;
// File name entry.
inline constexpr std::size_t fileNameOffset = 2;  // 15 UTF-16 code units
}  // namespace DirEntry

using Bytes = std::vector<std::uint8_t>;

[[nodiscard]] Bytes buildMainBootSector(const ExfatLayout& layout, std::uint32_t volumeSerialNumber, int volumeFlags,
                                        int percentInUse);
[[nodiscard]] Bytes buildExtendedBootSector(int bytesPerSector);
[[nodiscard]] Bytes buildZeroSector(int bytesPerSector);
// `region` is the first 11 sectors of a boot region; throws std::invalid_argument otherwise.
[[nodiscard]] Bytes buildBootChecksumSector(std::span<const std::uint8_t> region, int bytesPerSector);
// The whole 12-sector boot region of a fresh volume (VolumeFlags 0).
[[nodiscard]] Bytes buildBootRegion(const ExfatLayout& layout, std::uint32_t volumeSerialNumber, int percentInUse);
// One step of the rotate-right-and-add sum behind every exFAT checksum and the name hash;
// `Sum` (16 or 32 bits unsigned) is the width of the field it fills.
template <class Sum>
[[nodiscard]] constexpr Sum rotateRightAdd(Sum sum, std::uint8_t byte) {
    return static_cast<Sum>(std::rotr(sum, 1) + byte);
}
// Rotate right and add over every byte, skipping VolumeFlags and PercentInUse.
[[nodiscard]] std::int32_t bootChecksum(std::span<const std::uint8_t> bytes);

[[nodiscard]] Bytes buildFat(const ExfatLayout& layout);
[[nodiscard]] Bytes buildAllocationBitmap(const ExfatLayout& layout);
[[nodiscard]] Bytes buildUpcaseTableImage(const ExfatLayout& layout);
// Rotate right and add over every byte.
[[nodiscard]] std::int32_t upcaseChecksum(std::span<const std::uint8_t> bytes);
// Throws ExfatStructuresError (volumeLabelTooLong) for a label over 11 UTF-16 code units.
[[nodiscard]] Bytes buildRootDirectory(const ExfatLayout& layout, std::int32_t upcaseTableChecksum,
                                       const std::optional<std::string>& volumeLabel);

// Entries of a file's set: file, stream extension and one name entry per 15 code units.
[[nodiscard]] std::int64_t fileEntrySetCount(std::int64_t nameLength);
// Throws ExfatStructuresError (emptyFileName, fileNameTooLong).
[[nodiscard]] Bytes buildFileEntrySet(std::string_view name, std::int64_t sizeBytes, std::int64_t firstCluster,
                                      bool isDirectory, const ExfatTimestamp& timestamp);
// The stream extension's NameHash: the name up-cased through `upcase` (by default this
// volume format's own table), then hashed low byte first.
[[nodiscard]] std::int16_t nameHash(std::u16string_view name,
                                    const ExfatUpcaseTable::Mapping& upcase = ExfatUpcaseTable::mapping());
[[nodiscard]] std::int16_t nameHash(std::string_view utf8Name);
[[nodiscard]] std::int16_t entrySetChecksum(std::span<const std::uint8_t> bytes);

// UTF-8 to UTF-16 code units; malformed sequences become U+FFFD.
[[nodiscard]] std::u16string utf16(std::string_view utf8);

}  // namespace ExfatStructures
}  // namespace marlowick
