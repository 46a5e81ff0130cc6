#pragma once
// A read-back step of a multi-step operation: the sectors, or one note line saying why
// there are none.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Block/BlockDevice.hpp"

namespace marlowick {

// The sectors read, or nullopt after appending `notePrefix` + the rendered error.
[[nodiscard]] inline std::optional<std::vector<std::uint8_t>> readOrNote(BlockDevice& block, std::int64_t sector,
                                                                         std::int64_t count, std::string_view notePrefix,
                                                                         std::vector<std::string>& notes) {
    BlockReadResult result = block.readSectors(sector, count);
    if (const auto* error = std::get_if<BlockError>(&result)) {
        notes.push_back(std::string(notePrefix) + render(*error));
        return std::nullopt;
    }
    return std::move(std::get<BlockReadSuccess>(result).data);
}

}  // namespace marlowick
