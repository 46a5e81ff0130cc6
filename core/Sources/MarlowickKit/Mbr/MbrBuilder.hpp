#pragma once
// Builds and parses the 512-byte master boot record of sector 0, and reads or patches
// the one field of the BIOS boot code we maintain: the 64-bit sector number at which
// the boot code finds the boot loader's core image. Pure byte work; reading and
// writing the sector is the caller's business. Only build() throws.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "Layout/PartitionEntry.hpp"

namespace marlowick {

struct ParsedMbr {
    bool hasSignature = false;  // 0x55 0xAA at 510
    std::uint32_t diskSignature = 0;
    std::vector<PartitionEntry> entries;  // always four, empty slots as all-zero entries
    bool operator==(const ParsedMbr&) const = default;
};

struct MbrBuilderError : std::runtime_error {
    struct TooManyPartitions {
        std::int64_t count;
        std::int64_t max;
        bool operator==(const TooManyPartitions&) const = default;
    };
    struct OversizedBootCode {
        std::int64_t size;
        std::int64_t max;
        bool operator==(const OversizedBootCode&) const = default;
    };
    struct StartLbaOutOf32BitRange {
        std::int64_t start;
        bool operator==(const StartLbaOutOf32BitRange&) const = default;
    };
    struct SectorCountOutOf32BitRange {
        std::int64_t count;
        bool operator==(const SectorCountOutOf32BitRange&) const = default;
    };
    using Case = std::variant<TooManyPartitions, OversizedBootCode, StartLbaOutOf32BitRange, SectorCountOutOf32BitRange>;

    explicit MbrBuilderError(Case c);  // what() == render(value)
    Case value;
};

// "tooManyPartitions(count: 5, max: 4)", "startLbaOutOf32BitRange(4294967296)"
[[nodiscard]] std::string render(const MbrBuilderError::Case& error);
void PrintTo(const ParsedMbr& value, std::ostream* os);

namespace MbrBuilder {

inline constexpr std::size_t sectorSize = 512;
inline constexpr std::size_t maxBootCodeBytes = 440;
inline constexpr std::size_t diskSignatureOffset = 440;
inline constexpr std::size_t partitionTableOffset = 446;
inline constexpr std::size_t partitionEntrySize = 16;
inline constexpr std::size_t maxPartitionEntries = 4;
inline constexpr std::size_t bootSignatureOffset = 510;
inline constexpr std::size_t coreImgSectorPointerOffset = 92;
inline constexpr std::size_t coreImgSectorPointerBytes = 8;

// A 512-byte sector 0: the boot code from offset 0 (zero after it, all zero when empty),
// the disk signature, the entries in the order given (the rest zero) and 55 AA.
// Throws MbrBuilderError; nothing is partly returned.
[[nodiscard]] std::vector<std::uint8_t> build(std::span<const PartitionEntry> entries, std::uint32_t diskSignature,
                                              std::span<const std::uint8_t> bootCode = {});

// No value for fewer than 512 bytes. A sector without 55 AA still parses.
[[nodiscard]] std::optional<ParsedMbr> parse(std::span<const std::uint8_t> sector);

// A copy of the boot code with the core-image pointer set; no value when the boot code
// is too short to hold the pointer or the sector is negative.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> patchCoreImgPointer(std::span<const std::uint8_t> bootCode,
                                                                           std::int64_t coreStartSector);

// The pointer stored in a boot code or a whole sector 0; no value when too short or negative.
[[nodiscard]] std::optional<std::int64_t> coreImgSectorPointer(std::span<const std::uint8_t> bootCodeOrSector);

}  // namespace MbrBuilder
}  // namespace marlowick
