#pragma once
// Looks at the first 44 KiB of a disk image (and, when a boot catalog lies further in, at
// the one sector that holds it) and says what kind of image it is. Reads only: it never
// changes, reopens, seeks or closes the image. A short, truncated or foreign image is no
// error: it is `notIso9660` with unknown evidence; only a failed read is `unreadable`.

#include "Image/IsoByteReader.hpp"
#include "Image/IsoHeader.hpp"

#include <cstdint>
#include <string_view>

namespace marlowick::IsoInspector {

inline constexpr std::int64_t sectorBytes = 2048;
inline constexpr std::int64_t headerBytes = 16 * sectorBytes + 6;  // the first descriptor's identifier
inline constexpr std::int64_t preflightBytes = 22 * sectorBytes;   // the most that is read up front
inline constexpr std::int64_t maxCatalogOffset = 16 * 1024 * 1024; // farthest catalog still fetched
inline constexpr std::string_view identifier = "CD001";
inline constexpr std::string_view elToritoSystemIdentifier = "EL TORITO SPECIFICATION";

// Inspects the image that `read` delivers from its first byte.
[[nodiscard]] IsoHeader readHeader(const IsoByteReader& read);
[[nodiscard]] IsoInspection inspect(const IsoByteReader& read);

}  // namespace marlowick::IsoInspector
