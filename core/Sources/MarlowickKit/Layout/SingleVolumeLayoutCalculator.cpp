#include "Layout/SingleVolumeLayoutCalculator.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick::SingleVolumeLayoutCalculator {
namespace {

struct Renderer {
    std::string operator()(const Success& s) const {
        const SingleVolumeLayout& l = s.layout;
        const std::string layout = CaseDescription("SingleVolumeLayout")
                                       .field("diskSectorCount", l.diskSectorCount)
                                       .field("sectorSize", l.sectorSize)
                                       .field("partitionStartSector", l.partitionStartSector)
                                       .field("partitionSectorCount", l.partitionSectorCount)
                                       .field("partitionType", l.partitionType)
                                       .str();
        return CaseDescription("success").rawField("layout", layout).str();
    }
    std::string operator()(const DiskTooSmall& e) const { return LayoutRefusal::render(e); }
    std::string operator()(const DiskTooLargeForMbr& e) const { return LayoutRefusal::render(e); }
};

}  // namespace

Result calculate(std::int64_t diskSectorCount, int sectorSize) {
    // The MBR limit is tested first.
    if (diskSectorCount > maxMbrAddressableSectors) return DiskTooLargeForMbr{diskSectorCount, maxMbrAddressableSectors};
    if (diskSectorCount < minimumDiskSectorCount) return DiskTooSmall{diskSectorCount, minimumDiskSectorCount};
    return Success{SingleVolumeLayout{
        .diskSectorCount = diskSectorCount,
        .sectorSize = sectorSize,
        .partitionStartSector = partitionStartSector,
        .partitionSectorCount = diskSectorCount - partitionStartSector,
        .partitionType = partitionTypeData,
    }};
}

std::string render(const Result& result) { return std::visit(Renderer{}, result); }

void PrintTo(const Success& value, std::ostream* os) { *os << render(Result{value}); }

}  // namespace marlowick::SingleVolumeLayoutCalculator
