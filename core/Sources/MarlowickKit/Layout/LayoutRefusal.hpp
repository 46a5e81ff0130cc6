#pragma once
// The two refusals both layout calculators share: a disk too small for the layout, and
// a disk whose sectors 32-bit MBR fields cannot address.

#include <cstdint>
#include <ostream>
#include <string>

namespace marlowick::LayoutRefusal {

struct DiskTooSmall {
    std::int64_t diskSectorCount;
    std::int64_t minimum;
    bool operator==(const DiskTooSmall&) const = default;
};

struct DiskTooLargeForMbr {
    std::int64_t diskSectorCount;
    std::int64_t maxAddressableSectors;
    bool operator==(const DiskTooLargeForMbr&) const = default;
};

// 32-bit start and count fields address at most this many sectors.
inline constexpr std::int64_t maxMbrAddressableSectors = std::int64_t{1} << 32;

// "diskTooSmall(diskSectorCount: 67584, minimum: 67626)"
[[nodiscard]] std::string render(const DiskTooSmall& refusal);
// "diskTooLargeForMbr(diskSectorCount: 4294967297, maxAddressableSectors: 4294967296)"
[[nodiscard]] std::string render(const DiskTooLargeForMbr& refusal);
void PrintTo(const DiskTooSmall& refusal, std::ostream* os);
void PrintTo(const DiskTooLargeForMbr& refusal, std::ostream* os);

}  // namespace marlowick::LayoutRefusal
