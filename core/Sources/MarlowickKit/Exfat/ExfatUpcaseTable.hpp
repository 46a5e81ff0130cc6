#pragma once
// The up-case table every fresh volume carries: the recommended compressed table, whose
// checksum 0xE619D30D goes into the root directory's up-case entry. File-name hashes
// up-case through the full mapping that the compressed table expands to.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace marlowick {

class ExfatUpcaseTable {
public:
    static constexpr std::size_t length = 5836;
    // One up-case code unit for every UTF-16 code unit.
    using Mapping = std::array<char16_t, 65536>;

    // The compressed table, byte for byte as it lies on the volume.
    static const std::array<std::uint8_t, length> bytes;

    // Table checksum of `bytes`, computed once; its bit pattern is 0xE619D30D.
    [[nodiscard]] static std::int32_t checksum();
    // `bytes` expanded, computed once.
    [[nodiscard]] static const Mapping& mapping();

    // Expands a compressed table: little-endian code units, where 0xFFFF followed by a
    // count skips that many code units, which keep their identity mapping. Code units the
    // table does not reach map to themselves; a trailing odd byte or a run past the end
    // is ignored, so a damaged table from a volume cannot overrun the mapping.
    [[nodiscard]] static Mapping expand(std::span<const std::uint8_t> compressed);
};

}  // namespace marlowick
