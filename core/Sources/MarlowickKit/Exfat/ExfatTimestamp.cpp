#include "Exfat/ExfatTimestamp.hpp"

#include <algorithm>

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t secondsPerDay = 86400;
constexpr std::int64_t firstYear = 1980;
constexpr std::int64_t lastYear = 2107;
// Far outside the representable years on both sides, and far from overflowing when the
// UTC offset is added.
constexpr std::int64_t unixSecondsLimit = std::int64_t{1} << 50;

struct CivilTime {
    std::int64_t year;
    std::int64_t month;
    std::int64_t day;
    std::int64_t hour;
    std::int64_t minute;
    std::int64_t second;
};

// Proleptic Gregorian date of a day counted from 1970-01-01, in 400-year eras that start
// on 0000-03-01 so that the leap day falls at the end of each year of the era.
CivilTime civilFromSeconds(std::int64_t localSeconds) {
    std::int64_t days = localSeconds / secondsPerDay;
    if (localSeconds % secondsPerDay < 0) --days;
    const std::int64_t secondOfDay = localSeconds - days * secondsPerDay;

    const std::int64_t shifted = days + 719468;
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const std::int64_t dayOfEra = shifted - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t marchMonth = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * marchMonth + 2) / 5 + 1;
    const std::int64_t month = marchMonth < 10 ? marchMonth + 3 : marchMonth - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
}

}  // namespace

const ExfatTimestamp ExfatTimestamp::unset{};

ExfatTimestamp ExfatTimestamp::fromUnixSeconds(std::int64_t unixSeconds, int utcOffsetMinutes) {
    const std::int64_t local =
        std::clamp(unixSeconds, -unixSecondsLimit, unixSecondsLimit) + std::int64_t{utcOffsetMinutes} * 60;
    CivilTime time = civilFromSeconds(local);
    if (time.year < firstYear) time = {firstYear, 1, 1, 0, 0, 0};
    if (time.year > lastYear) time = {lastYear, 12, 31, 23, 59, 59};

    const auto dosDateTime = static_cast<std::uint32_t>(
        ((time.year - firstYear) << 25) | (time.month << 21) | (time.day << 16) | (time.hour << 11) |
        (time.minute << 5) | (time.second / 2));
    const auto tenMs = static_cast<std::uint8_t>(time.second % 2 == 1 ? 100 : 0);
    const auto offsetSteps = static_cast<std::uint8_t>((utcOffsetMinutes / 15) & 0x7F);
    return {dosDateTime, tenMs, static_cast<std::uint8_t>(0x80 | offsetSteps)};
}

void PrintTo(const ExfatTimestamp& timestamp, std::ostream* os) {
    *os << CaseDescription("ExfatTimestamp")
               .field("dosDateTime", timestamp.dosDateTime)
               .field("tenMsIncrement", timestamp.tenMsIncrement)
               .field("utcOffset", timestamp.utcOffset)
               .str();
}

}  // namespace marlowick
