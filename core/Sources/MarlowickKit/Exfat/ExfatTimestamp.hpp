#pragma once
// An exFAT timestamp: a DOS date-time with two-second resolution, the hundredths that
// refine it, and the UTC offset byte.

#include <cstdint>
#include <ostream>

namespace marlowick {

struct ExfatTimestamp {
    // bits 0-4 seconds / 2, 5-10 minute, 11-15 hour, 16-20 day, 21-24 month, 25-31 year - 1980
    std::uint32_t dosDateTime = 0;
    std::uint8_t tenMsIncrement = 0;  // 0 or 100 as built here
    std::uint8_t utcOffset = 0;       // bit 7: valid; bits 0-6: offset in 15-minute steps, two's complement

    // The all-zero timestamp (no date, offset not valid).
    static const ExfatTimestamp unset;

    ExfatTimestamp() = default;
    ExfatTimestamp(std::uint32_t dateTime, std::uint8_t increment, std::uint8_t offset)
        : dosDateTime(dateTime), tenMsIncrement(increment), utcOffset(offset) {}
    // Local time = unixSeconds + utcOffsetMinutes; dates outside 1980-2107 are clamped to
    // 1980-01-01 00:00:00 or 2107-12-31 23:59:59.
    [[nodiscard]] static ExfatTimestamp fromUnixSeconds(std::int64_t unixSeconds, int utcOffsetMinutes);

    bool operator==(const ExfatTimestamp&) const = default;
};

void PrintTo(const ExfatTimestamp& timestamp, std::ostream* os);

}  // namespace marlowick
