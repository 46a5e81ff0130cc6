#pragma once
// Bytes done and bytes total of a long step, as the operations report them with each stage.

#include <algorithm>
#include <cstdint>
#include <optional>

namespace marlowick {

struct ByteProgress {
    std::int64_t currentBytes = 0;
    std::optional<std::int64_t> totalBytes;

    [[nodiscard]] bool isIndeterminate() const { return !totalBytes || *totalBytes < 1; }

    // currentBytes ÷ totalBytes clamped to 0…1; none when indeterminate.
    [[nodiscard]] std::optional<double> fraction() const {
        if (isIndeterminate()) return std::nullopt;
        return std::clamp(static_cast<double>(currentBytes) / static_cast<double>(*totalBytes), 0.0, 1.0);
    }

    // The fraction in whole percent, truncated toward zero (99.9 % is 99).
    [[nodiscard]] std::optional<int> percent() const {
        if (isIndeterminate()) return std::nullopt;
        if (currentBytes <= 0) return 0;
        if (currentBytes >= *totalBytes) return 100;
        // Whole-number arithmetic: 29 of 100 must show 29, not 28.999…
        __extension__ using Wide = unsigned __int128;
        return static_cast<int>(static_cast<Wide>(currentBytes) * 100 / static_cast<Wide>(*totalBytes));
    }

    bool operator==(const ByteProgress&) const = default;
};

}  // namespace marlowick
