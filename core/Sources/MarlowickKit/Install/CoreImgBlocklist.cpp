#include "Install/CoreImgBlocklist.hpp"

namespace marlowick::CoreImgBlocklist {

std::optional<std::vector<std::uint8_t>> patchTailPointer(std::span<const std::uint8_t> sector,
                                                          std::int64_t coreStartSector) {
    if (sector.size() < blocklistOffset + startFieldBytes || coreStartSector < 0) return std::nullopt;
    std::vector<std::uint8_t> patched(sector.begin(), sector.end());
    // Unsigned: a start at the int64 limit wraps instead of overflowing a signed sum.
    const std::uint64_t value = static_cast<std::uint64_t>(coreStartSector) + 1;
    for (std::size_t index = 0; index < startFieldBytes; ++index) {
        patched[blocklistOffset + index] = static_cast<std::uint8_t>(value >> (8 * index));
    }
    return patched;
}

std::optional<std::int64_t> tailPointer(std::span<const std::uint8_t> sector) {
    if (sector.size() < blocklistOffset + startFieldBytes) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < startFieldBytes; ++index) {
        value |= static_cast<std::uint64_t>(sector[blocklistOffset + index]) << (8 * index);
    }
    if (value >> 63 != 0) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

}  // namespace marlowick::CoreImgBlocklist
