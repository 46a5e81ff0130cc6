#pragma once
// The wire form of a VentoyLayout, field for field, with the partition style as text.
// Decoding does not check the style: it is compared where the layout is turned back into
// an engine value, and an unknown style gives no layout there.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "HelperWire/JsonCoding.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick {

struct HelperVentoyLayout {
    std::int64_t diskSectorCount = 0;
    std::int64_t sectorSize = 0;
    std::int64_t part1StartSector = 0;
    std::int64_t part1SectorCount = 0;
    std::int64_t part2StartSector = 0;
    std::int64_t part2SectorCount = 0;
    std::string partitionStyle;  // "mbr" or "gpt"
    std::int64_t coreStartSector = 0;

    HelperVentoyLayout() = default;
    HelperVentoyLayout(std::int64_t diskSectorCount, std::int64_t sectorSize, std::int64_t part1StartSector,
                       std::int64_t part1SectorCount, std::int64_t part2StartSector, std::int64_t part2SectorCount,
                       std::string partitionStyle, std::int64_t coreStartSector);
    explicit HelperVentoyLayout(const VentoyLayout& layout);

    // The engine layout: style exactly "mbr" or "gpt" (any other text, "GPT" included, gives
    // none). The numbers are copied unchecked, except that a sector size the engine's int
    // cannot hold gives none rather than a truncated value.
    [[nodiscard]] std::optional<VentoyLayout> ventoyLayout() const;

    bool operator==(const HelperVentoyLayout&) const = default;
};

void PrintTo(const HelperVentoyLayout& layout, std::ostream* os);

template <>
struct JsonCoding<HelperVentoyLayout> {
    static nlohmann::json encode(const HelperVentoyLayout& layout);
    static HelperVentoyLayout decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
