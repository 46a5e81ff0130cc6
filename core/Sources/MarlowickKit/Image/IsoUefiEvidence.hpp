#pragma once
// The tests that tell whether an El Torito image boots on UEFI machines: an EFI or
// protective-GPT partition in its hybrid MBR, or an EFI entry in its boot catalog.
// Every test looks only inside the bytes it is given; hostile offsets and counts end
// in `unknown`, never in a read past the end.

#include "Image/IsoHeader.hpp"
#include "Image/RawImageSource.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace marlowick::IsoUefiEvidence {

inline constexpr std::size_t sectorBytes = 2048;
inline constexpr std::size_t catalogEntryBytes = 32;
inline constexpr std::size_t skipChunkBytes = 65536;
inline constexpr std::uint8_t efiPlatformId = 0xEF;

using CatalogSector = std::array<std::uint8_t, sectorBytes>;

// True when the first 512 bytes end in 0x55 0xAA and one of the four partition types is
// 0xEE (protective GPT) or 0xEF (EFI system). Fewer than 512 bytes: false.
[[nodiscard]] bool mbrHasUefiPartition(std::span<const std::uint8_t> firstBytes);

// A validation entry at 0: header ID 0x01, 0x55 0xAA at 30-31, and its sixteen
// little-endian words summing to 0 modulo 65536.
[[nodiscard]] bool isValidCatalog(std::span<const std::uint8_t> catalog);

// Present when the validation entry or a section header names the EFI platform; none when
// the headers end without one; unknown for an invalid catalog or a walk that leaves it.
[[nodiscard]] IsoUefiBoot catalogUefiBoot(std::span<const std::uint8_t> catalog);

// Discards `skip` bytes of the stream in chunks of at most 64 KiB, then reads one sector.
// Nothing on a failed read, or when the stream ends (or reads nothing) before the sector is
// whole, or for a negative skip. Reads forward only and leaves the stream open.
[[nodiscard]] std::optional<CatalogSector> readSector(std::int64_t skip, RawImageStream& stream);

}  // namespace marlowick::IsoUefiEvidence
