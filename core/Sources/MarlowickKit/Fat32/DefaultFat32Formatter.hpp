#pragma once
// The FAT32 formatter: checks the request against the device, derives the layout, then
// writes the reserved region, both FATs and the root directory cluster at the volume's
// offset and flushes. Nothing is read back. Every device step returns a value; nothing
// throws, nothing is retried and nothing written is undone.

#include <cstdint>
#include <variant>

#include "Fat32/Fat32Formatter.hpp"

namespace marlowick {

class DefaultFat32Formatter final : public Fat32Formatter {
public:
    static constexpr std::int64_t defaultWriteChunkSectors = 1024;

    // The most sectors one write carries while zero-filling a FAT.
    explicit DefaultFat32Formatter(std::int64_t writeChunkSectors) : chunkSectors(writeChunkSectors) {}

    [[nodiscard]] std::int64_t writeChunkSectors() const { return chunkSectors; }

    [[nodiscard]] Fat32FormatResult format(BlockDevice& device, const Fat32FormatParams& params) const override;

    // The checks that come before any write, in the order that decides which error wins,
    // and the layout they lead to. Reads only the device's geometry.
    [[nodiscard]] static std::variant<Fat32Layout, Fat32FormatError> plan(int sectorSize,
                                                                          std::int64_t deviceSectorCount,
                                                                          const Fat32FormatParams& params);

private:
    std::int64_t chunkSectors;
};

}  // namespace marlowick
