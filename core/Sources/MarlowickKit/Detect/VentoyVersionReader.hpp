#pragma once
// Finds which Ventoy release a ready Ventoy drive carries by scanning the raw bytes of
// its EFI partition (partition 2) for "VENTOY_VERSION=" and the version behind it,
// without mounting anything. Reads through BlockDevice; never writes, flushes or
// closes it. Also compares version texts, to tell whether an update is available.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Detect/VentoyVersionResult.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick::VentoyVersionReader {

inline constexpr std::string_view marker = "VENTOY_VERSION=";
inline constexpr std::size_t maxVersionChars = 16;
inline constexpr std::int64_t defaultScanChunkSectors = 256;
// The longest match: the marker, up to 17 version characters and the byte after them.
inline constexpr std::size_t matchWindow = marker.size() + 18;
// Kept from the end of one chunk's buffer to the front of the next, so that a match
// cut by a chunk boundary is whole in the next buffer.
inline constexpr std::size_t carryBytes = matchWindow - 1;

// Scans sectors [part2StartSector, part2StartSector + part2SectorCount) in chunks of
// `scanChunkSectors` sectors and stops at the first valid version. A chunk size below 1
// is refused as readFailed(invalidSectorCount) without touching the device.
[[nodiscard]] VentoyVersionResult read(BlockDevice& device, const VentoyLayout& layout,
                                       std::int64_t scanChunkSectors = defaultScanChunkSectors);

// The version behind the first marker in `bytes` that is followed by a valid version.
// A version must be followed by at least one more byte in the same buffer.
[[nodiscard]] std::optional<std::string> extractVersion(std::span<const std::uint8_t> bytes);

// The numeric parts of a version text ("1.1.10" gives 1, 1, 10; "7" gives 7): every
// part between dots a non-empty run of the digits 0-9 that fits in a signed 64-bit
// integer. nullopt for anything else, signs and spaces included.
[[nodiscard]] std::optional<std::vector<std::int64_t>> parseVersion(std::string_view text);

// −1, 0 or 1; a missing part counts as 0, so 1.0 equals 1.0.0.
[[nodiscard]] int compareVersions(const std::vector<std::int64_t>& a, const std::vector<std::int64_t>& b);

// Whether the installed version is older than the pinned one; nullopt when no version is
// installed or either text does not parse.
[[nodiscard]] std::optional<bool> updateAvailable(const std::optional<std::string>& installed,
                                                  std::string_view pinned);

}  // namespace marlowick::VentoyVersionReader
