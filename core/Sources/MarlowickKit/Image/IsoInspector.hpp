#pragma once
// Looks at the first 44 KiB of a disk image (and, when a boot catalog lies further in, at
// the one sector that holds it) and says what kind of image it is. Reads only, forward
// only: it never changes the image, and fetches a catalog by reading on, never by reopening.
// A short, truncated or foreign image is no error: it is `notIso9660` with unknown
// evidence; only a failed open or read is `unreadable`.

#include "Image/IsoHeader.hpp"
#include "Image/RawImageSource.hpp"

#include <cstdint>
#include <string_view>

namespace marlowick::IsoInspector {

inline constexpr std::int64_t sectorBytes = 2048;
inline constexpr std::int64_t headerBytes = 16 * sectorBytes + 6;  // the first descriptor's identifier
inline constexpr std::int64_t preflightBytes = 22 * sectorBytes;   // the most that is read up front
inline constexpr std::int64_t maxCatalogOffset = 16 * 1024 * 1024; // farthest catalog still fetched
inline constexpr std::string_view identifier = "CD001";
inline constexpr std::string_view elToritoSystemIdentifier = "EL TORITO SPECIFICATION";

// Inspects an open stream from its current position (the image's first byte); leaves it open.
[[nodiscard]] IsoHeader readHeader(RawImageStream& stream);
[[nodiscard]] IsoInspection inspect(RawImageStream& stream);

// Opens the source, inspects it and closes the stream. An open failure is an unreadable
// header carrying the failure's detail. For a compressed file, pass the decompressing source.
[[nodiscard]] IsoHeader readHeader(const RawImageSource& source);
[[nodiscard]] IsoInspection inspect(const RawImageSource& source);

}  // namespace marlowick::IsoInspector
