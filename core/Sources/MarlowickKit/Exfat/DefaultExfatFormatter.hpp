#pragma once
// The exFAT formatter: checks the request, chooses the cluster size when the caller leaves
// it open, computes the geometry and writes, in this order, the main and backup boot
// regions, the FAT, the allocation bitmap, the up-case table and the root directory, each
// in chunks of at most writeChunkBytes, then flushes. The FAT and the bitmap are built
// whole in memory, so each is capped at inMemoryCapBytes.

#include <cstdint>
#include <variant>

#include "Exfat/ExfatFormatter.hpp"

namespace marlowick {

class DefaultExfatFormatter final : public ExfatFormatter {
public:
    static constexpr std::int64_t inMemoryCapBytes = 67108864;
    static constexpr std::int64_t writeChunkBytes = 1048576;

    [[nodiscard]] ExfatFormatResult format(BlockDevice& device, const ExfatFormatParams& params) const override;

    // The checks that come before any write, in the order that decides which error wins,
    // and the layout they lead to. Reads only the device's geometry.
    [[nodiscard]] static std::variant<ExfatLayout, ExfatFormatError> plan(int sectorSize,
                                                                          std::int64_t deviceSectorCount,
                                                                          const ExfatFormatParams& params);
};

}  // namespace marlowick
