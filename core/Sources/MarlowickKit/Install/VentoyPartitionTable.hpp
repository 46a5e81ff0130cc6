#pragma once
// Writes the partition table of a Ventoy layout onto a drive and verifies it by reading
// it back: one sector 0 for MBR; protective MBR, both headers and both entry arrays for
// GPT. The boot code placed in sector 0 first gets its core-image pointer set to the
// layout's core start. Works through the BlockDevice it is given; never flushes or
// closes it. Problems become one note line and a false result; nothing throws.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick::VentoyPartitionTable {

// The GPT name of partition 2.
inline constexpr std::string_view gptEfiPartitionName = "VTOYEFI";

// diskSignature is used by its 32-bit pattern: the MBR disk signature, and the seed of
// the GPT disk and partition GUIDs (so the same signature rewrites identical bytes).
// volumeLabel names GPT partition 1 (first 36 UTF-16 units); MBR carries no label.
// part1Type is the MBR type of partition 1 (0x07 or 0x0C). A failure part-way through
// leaves the earlier sectors written.
[[nodiscard]] bool writePartitionTable(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature,
                                       std::string_view volumeLabel, std::span<const std::uint8_t> bootCode,
                                       std::uint8_t part1Type, std::vector<std::string>& notes);

// Reads back what writePartitionTable wrote and compares what matters for booting: the
// GPT structures for a GPT layout, sector 0 otherwise. The GPT check uses neither the
// disk signature nor the partition 1 type.
[[nodiscard]] bool verifyPartitionTable(BlockDevice& block, const VentoyLayout& layout, std::int32_t diskSignature,
                                        std::uint8_t part1Type, std::vector<std::string>& notes);

}  // namespace marlowick::VentoyPartitionTable
