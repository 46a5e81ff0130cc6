#pragma once
// The one field of the boot loader's core image that depends on where it lies on the
// disk: the first sector's blocklist names the sector at which the rest of the image
// starts. Written at sector S, the image must carry S + 1 there, little-endian unsigned
// 64-bit at bytes 500 to 507 of its first sector. Pure byte work.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace marlowick::CoreImgBlocklist {

inline constexpr std::size_t blocklistOffset = 500;
inline constexpr std::size_t startFieldBytes = 8;

// A copy with the field set to coreStartSector + 1; none when the sector is shorter
// than 508 bytes or coreStartSector is negative.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> patchTailPointer(std::span<const std::uint8_t> sector,
                                                                        std::int64_t coreStartSector);

// The field's value; none when the sector is shorter than 508 bytes or the value has
// its top bit set (no sector number a signed count can hold).
[[nodiscard]] std::optional<std::int64_t> tailPointer(std::span<const std::uint8_t> sector);

}  // namespace marlowick::CoreImgBlocklist
