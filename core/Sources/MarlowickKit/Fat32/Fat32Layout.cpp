#include "Fat32/Fat32Layout.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {

std::string render(const Fat32Layout& layout) {
    return CaseDescription("Fat32Layout")
        .field("volumeLengthSectors", layout.volumeLengthSectors)
        .field("partitionOffsetSectors", layout.partitionOffsetSectors)
        .field("bytesPerSector", layout.bytesPerSector)
        .field("sectorsPerCluster", layout.sectorsPerCluster)
        .field("reservedSectorCount", layout.reservedSectorCount)
        .field("numberOfFats", layout.numberOfFats)
        .field("fatLengthSectors", layout.fatLengthSectors)
        .field("clusterCount", layout.clusterCount)
        .field("rootDirFirstCluster", layout.rootDirFirstCluster)
        .str();
}

void PrintTo(const Fat32Layout& layout, std::ostream* os) { *os << render(layout); }

}  // namespace marlowick
