#pragma once
// Every byte of a two-partition GUID Partition Table on 512-byte sectors: protective
// MBR, primary header, the 128-entry array and the backup header, with where the backup
// copies go. Also parses headers and entries back, computes the format's CRC-32 and
// derives disk and partition GUIDs from a 32-bit seed, so that the same drive always
// gets the same GUIDs. Pure byte work; only the builders throw.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace marlowick {

struct ParsedGptHeader {
    bool headerCrcValid = false;
    std::int64_t myLba = 0;
    std::int64_t alternateLba = 0;
    std::int64_t firstUsableLba = 0;
    std::int64_t lastUsableLba = 0;
    std::int64_t entryArrayLba = 0;
    std::uint32_t numberOfEntries = 0;
    std::uint32_t sizeOfEntry = 0;
    std::uint32_t entriesCrc = 0;
    bool operator==(const ParsedGptHeader&) const = default;
};

struct ParsedGptEntry {
    std::vector<std::uint8_t> typeGuid;  // stored order
    std::int64_t startLba = 0;
    std::int64_t endLba = 0;  // inclusive
    bool operator==(const ParsedGptEntry&) const = default;
};

struct GptBuilderError : std::runtime_error {
    struct DiskTooSmall {
        std::int64_t sectors;
        bool operator==(const DiskTooSmall&) const = default;
    };
    struct InvalidDiskGuidSize {
        std::int64_t count;
        bool operator==(const InvalidDiskGuidSize&) const = default;
    };
    struct InvalidTypeGuidSize {
        std::int64_t count;
        bool operator==(const InvalidTypeGuidSize&) const = default;
    };
    struct InvalidUniqueGuidSize {
        std::int64_t count;
        bool operator==(const InvalidUniqueGuidSize&) const = default;
    };
    struct OversizedBootCode {
        std::int64_t size;
        std::int64_t max;
        bool operator==(const OversizedBootCode&) const = default;
    };
    using Case = std::variant<DiskTooSmall, InvalidDiskGuidSize, InvalidTypeGuidSize, InvalidUniqueGuidSize,
                              OversizedBootCode>;

    explicit GptBuilderError(Case c);  // what() == render(value)
    Case value;
};

// "diskTooSmall(sectors: 40)", "invalidUniqueGuidSize(15)"
[[nodiscard]] std::string render(const GptBuilderError::Case& error);
void PrintTo(const ParsedGptHeader& value, std::ostream* os);
void PrintTo(const ParsedGptEntry& value, std::ostream* os);

namespace GptBuilder {

inline constexpr std::size_t sectorSize = 512;
inline constexpr std::size_t numEntries = 128;
inline constexpr std::size_t entrySize = 128;
inline constexpr std::int64_t entryArraySectors = 32;  // 128 × 128 ÷ 512
inline constexpr std::int64_t primaryHeaderLba = 1;
inline constexpr std::int64_t entryArrayLba = 2;
inline constexpr std::int64_t firstUsableLba = 34;
inline constexpr std::int64_t backupReserveSectors = 33;  // backup array (32) + backup header (1)
inline constexpr std::size_t headerSize = 92;              // covered by the header CRC and stored as the size
// Protective MBR, both headers, both arrays and at least one usable sector.
inline constexpr std::int64_t minimumDiskSectorCount = 68;
inline constexpr std::size_t maxBootCodeBytes = 440;
inline constexpr std::size_t nameCodeUnits = 36;  // UTF-16 units of a partition name

// GUIDs in GPT byte order: the first three groups little-endian, the last two as written.
using GuidBytes = std::array<std::uint8_t, 16>;
// EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
inline constexpr GuidBytes typeMsBasicData{0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                           0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
// C12A7328-F81F-11D2-BA4B-00A0C93EC93B
inline constexpr GuidBytes typeEfiSystem{0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                         0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};

// A GUID in the form the partition records hold it.
[[nodiscard]] inline std::vector<std::uint8_t> guidVector(const GuidBytes& bytes) { return {bytes.begin(), bytes.end()}; }

struct Partition {
    std::vector<std::uint8_t> typeGuid;    // 16 bytes, stored order
    std::vector<std::uint8_t> uniqueGuid;  // 16 bytes, stored order
    std::int64_t startLba = 0;
    std::int64_t endLba = 0;  // inclusive
    std::int64_t attributes = 0;
    std::string name;  // UTF-8; the first 36 UTF-16 units are stored
    bool operator==(const Partition&) const = default;
};

struct Built {
    std::vector<std::uint8_t> protectiveMbr;  // 512 bytes, for sector 0
    std::vector<std::uint8_t> primaryHeader;  // 512 bytes, for sector 1
    std::vector<std::uint8_t> entryArray;     // 16384 bytes, for sectors 2..33 and the backup copy
    std::vector<std::uint8_t> backupHeader;   // 512 bytes, for the last sector
    std::int64_t backupEntryArrayLba = 0;     // N − 33
    std::int64_t backupHeaderLba = 0;         // N − 1
    bool operator==(const Built&) const = default;
};

// Throws GptBuilderError; nothing is partly returned. The partitions are not checked
// against the usable range or each other.
[[nodiscard]] Built build(std::int64_t diskSectorCount, const Partition& part1, const Partition& part2,
                          std::span<const std::uint8_t> diskGuid, std::span<const std::uint8_t> bootCode = {});

// One 0xEE entry from sector 1 over the rest of the disk (capped at 2^32 − 1 sectors),
// the boot code at 0 and 55 AA; no disk signature.
[[nodiscard]] std::vector<std::uint8_t> buildProtectiveMbr(std::int64_t diskSectorCount,
                                                           std::span<const std::uint8_t> bootCode = {});

// No value for fewer than 92 bytes or without "EFI PART". The CRC always covers 92 bytes,
// whatever the stored header size says.
[[nodiscard]] std::optional<ParsedGptHeader> parseHeader(std::span<const std::uint8_t> bytes);

// The entry at 128 × index; no value when the array is too short or the index negative.
// An unused all-zero entry is returned like any other.
[[nodiscard]] std::optional<ParsedGptEntry> parseEntry(std::span<const std::uint8_t> entries, std::int64_t index);

// CRC-32 of ISO-HDLC / IEEE 802.3 (reflected 0xEDB88320); the empty input gives 0.
[[nodiscard]] std::uint32_t crc32(std::span<const std::uint8_t> bytes);

// 16 bytes from SplitMix64 seeded with both numbers' 32-bit patterns; used as stored,
// with no version or variant bits set.
[[nodiscard]] std::vector<std::uint8_t> deriveGuid(std::int32_t seed, std::int32_t salt);

}  // namespace GptBuilder
}  // namespace marlowick
