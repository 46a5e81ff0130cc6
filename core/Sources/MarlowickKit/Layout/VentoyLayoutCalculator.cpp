#include "Layout/VentoyLayoutCalculator.hpp"

#include <limits>

#include "Text/CaseDescription.hpp"

namespace marlowick::VentoyLayoutCalculator {
namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();

// reserve + 67626, held at the top of the signed 64-bit range instead of wrapping.
std::int64_t reportedMinimum(std::int64_t reserveSectorsAtEnd) {
    if (reserveSectorsAtEnd > int64Max - minimumDiskSectorCount) return int64Max;
    return reserveSectorsAtEnd + minimumDiskSectorCount;
}

struct Renderer {
    std::string operator()(const Success& s) const {
        return CaseDescription("success").rawField("layout", marlowick::render(s.layout)).str();
    }
    std::string operator()(const DiskTooSmall& e) const { return LayoutRefusal::render(e); }
    std::string operator()(const DiskTooLargeForMbr& e) const { return LayoutRefusal::render(e); }
    std::string operator()(const InvalidArguments& e) const {
        return CaseDescription("invalidArguments")
            .field("sectorSize", e.sectorSize)
            .field("reserveSectorsAtEnd", e.reserveSectorsAtEnd)
            .str();
    }
};

}  // namespace

Result calculate(std::int64_t diskSectorCount, int sectorSize, PartitionStyle partitionStyle,
                 std::int64_t reserveSectorsAtEnd, bool alignTo4K) {
    // A negative reserve would push partition 2 past the end of the disk.
    if (sectorSize < 1 || reserveSectorsAtEnd < 0) return InvalidArguments{sectorSize, reserveSectorsAtEnd};
    if (diskSectorCount < 1) return DiskTooSmall{diskSectorCount, reportedMinimum(reserveSectorsAtEnd)};

    const bool gpt = partitionStyle == PartitionStyle::gpt;
    if (!gpt && diskSectorCount > maxMbrAddressableSectors) {
        return DiskTooLargeForMbr{diskSectorCount, maxMbrAddressableSectors};
    }
    const std::int64_t coreStartSector = gpt ? VentoyLayout::gptCoreStart : VentoyLayout::mbrCoreStart;

    // Room for partition 2 and the reserve; cannot wrap, the disk has at least one sector.
    const std::int64_t beforeReserve = diskSectorCount - (gpt ? gptBackupReserveSectors : 0) - part2SectorCount;
    // Compared before subtracting: a reserve near the 64-bit limit must not wrap.
    if (reserveSectorsAtEnd > beforeReserve) return DiskTooSmall{diskSectorCount, reportedMinimum(reserveSectorsAtEnd)};
    std::int64_t part2Start = beforeReserve - reserveSectorsAtEnd;
    if (alignTo4K) part2Start -= part2Start % part2AlignmentSectors;

    if (!leavesPart1ASector(part2Start)) return DiskTooSmall{diskSectorCount, reportedMinimum(reserveSectorsAtEnd)};
    const std::int64_t part1Count = part2Start - part1StartSector;

    return Success{VentoyLayout{
        .diskSectorCount = diskSectorCount,
        .sectorSize = sectorSize,
        .part1StartSector = part1StartSector,
        .part1SectorCount = part1Count,
        .part2StartSector = part2Start,
        .part2SectorCount = part2SectorCount,
        .partitionStyle = partitionStyle,
        .coreStartSector = coreStartSector,
    }};
}

std::string render(const Result& result) { return std::visit(Renderer{}, result); }

void PrintTo(const Success& value, std::ostream* os) { *os << render(Result{value}); }
void PrintTo(const InvalidArguments& value, std::ostream* os) { *os << render(Result{value}); }

}  // namespace marlowick::VentoyLayoutCalculator

namespace marlowick {

std::string render(const VentoyLayout& layout) {
    return CaseDescription("VentoyLayout")
        .field("diskSectorCount", layout.diskSectorCount)
        .field("sectorSize", layout.sectorSize)
        .field("part1StartSector", layout.part1StartSector)
        .field("part1SectorCount", layout.part1SectorCount)
        .field("part2StartSector", layout.part2StartSector)
        .field("part2SectorCount", layout.part2SectorCount)
        .rawField("partitionStyle", rawValue(layout.partitionStyle))
        .field("coreStartSector", layout.coreStartSector)
        .str();
}

void PrintTo(const VentoyLayout& layout, std::ostream* os) { *os << render(layout); }

}  // namespace marlowick
