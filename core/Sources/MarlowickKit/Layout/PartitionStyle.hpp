#pragma once
// MBR or GPT; "mbr" / "gpt" on the wire.

#include <array>
#include <optional>
#include <string_view>

namespace marlowick {

enum class PartitionStyle { mbr, gpt };

inline constexpr std::array<PartitionStyle, 2> allPartitionStyles{PartitionStyle::mbr, PartitionStyle::gpt};

[[nodiscard]] constexpr std::string_view rawValue(PartitionStyle style) {
    return style == PartitionStyle::mbr ? "mbr" : "gpt";
}
[[nodiscard]] constexpr std::string_view displayName(PartitionStyle style) {
    return style == PartitionStyle::mbr ? "MBR" : "GPT";
}
[[nodiscard]] constexpr bool isAvailable(PartitionStyle) { return true; }
// Exactly "mbr" or "gpt"; any other text (including "GPT") is no value.
[[nodiscard]] constexpr std::optional<PartitionStyle> partitionStyleFromRaw(std::string_view raw) {
    if (raw == "mbr") return PartitionStyle::mbr;
    if (raw == "gpt") return PartitionStyle::gpt;
    return std::nullopt;
}

}  // namespace marlowick
