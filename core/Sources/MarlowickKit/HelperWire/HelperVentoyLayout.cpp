#include "HelperWire/HelperVentoyLayout.hpp"

#include <limits>

#include "Text/CaseDescription.hpp"

namespace marlowick {

HelperVentoyLayout::HelperVentoyLayout(std::int64_t diskSectors, std::int64_t bytesPerSector, std::int64_t part1Start,
                                       std::int64_t part1Sectors, std::int64_t part2Start, std::int64_t part2Sectors,
                                       std::string style, std::int64_t coreStart)
    : diskSectorCount(diskSectors),
      sectorSize(bytesPerSector),
      part1StartSector(part1Start),
      part1SectorCount(part1Sectors),
      part2StartSector(part2Start),
      part2SectorCount(part2Sectors),
      partitionStyle(std::move(style)),
      coreStartSector(coreStart) {}

HelperVentoyLayout::HelperVentoyLayout(const VentoyLayout& layout)
    : HelperVentoyLayout(layout.diskSectorCount, layout.sectorSize, layout.part1StartSector, layout.part1SectorCount,
                         layout.part2StartSector, layout.part2SectorCount, std::string(rawValue(layout.partitionStyle)),
                         layout.coreStartSector) {}

std::optional<VentoyLayout> HelperVentoyLayout::ventoyLayout() const {
    const auto style = partitionStyleFromRaw(partitionStyle);
    if (!style) return std::nullopt;
    if (sectorSize < std::numeric_limits<int>::min() || sectorSize > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return VentoyLayout{diskSectorCount,  static_cast<int>(sectorSize), part1StartSector, part1SectorCount,
                        part2StartSector, part2SectorCount,             *style,           coreStartSector};
}

void PrintTo(const HelperVentoyLayout& layout, std::ostream* os) {
    *os << CaseDescription("HelperVentoyLayout")
               .field("diskSectorCount", layout.diskSectorCount)
               .field("sectorSize", layout.sectorSize)
               .field("part1StartSector", layout.part1StartSector)
               .field("part1SectorCount", layout.part1SectorCount)
               .field("part2StartSector", layout.part2StartSector)
               .field("part2SectorCount", layout.part2SectorCount)
               .field("partitionStyle", layout.partitionStyle)
               .field("coreStartSector", layout.coreStartSector)
               .str();
}

nlohmann::json JsonCoding<HelperVentoyLayout>::encode(const HelperVentoyLayout& layout) {
    return JsonObjectWriter()
        .put("diskSectorCount", layout.diskSectorCount)
        .put("sectorSize", layout.sectorSize)
        .put("part1StartSector", layout.part1StartSector)
        .put("part1SectorCount", layout.part1SectorCount)
        .put("part2StartSector", layout.part2StartSector)
        .put("part2SectorCount", layout.part2SectorCount)
        .put("partitionStyle", layout.partitionStyle)
        .put("coreStartSector", layout.coreStartSector)
        .json();
}

HelperVentoyLayout JsonCoding<HelperVentoyLayout>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader o(json, path);
    return HelperVentoyLayout(o.required<std::int64_t>("diskSectorCount"), o.required<std::int64_t>("sectorSize"),
                              o.required<std::int64_t>("part1StartSector"), o.required<std::int64_t>("part1SectorCount"),
                              o.required<std::int64_t>("part2StartSector"), o.required<std::int64_t>("part2SectorCount"),
                              o.required<std::string>("partitionStyle"), o.required<std::int64_t>("coreStartSector"));
}

}  // namespace marlowick
