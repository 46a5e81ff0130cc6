#include "Exfat/ExfatStructures.hpp"

#include <algorithm>
#include <stdexcept>

#include "Bytes/LittleEndian.hpp"

namespace marlowick::ExfatStructures {
namespace {


constexpr std::uint8_t jumpBoot[3] = {0xEB, 0x76, 0x90};  // jump by 0x76 + 2 to the boot code at 120

std::size_t sizeOf(std::int64_t count) { return static_cast<std::size_t>(count); }

void storeChain(std::span<std::uint8_t> fat, std::int64_t first, std::int64_t count) {
    for (std::int64_t cluster = first; cluster < first + count; ++cluster) {
        const bool last = cluster == first + count - 1;
        LittleEndian::write32(fat, sizeOf(cluster) * Fat::entrySize,
                             last ? Fat::endOfChain : static_cast<std::uint32_t>(cluster + 1));
    }
}

}  // namespace

Bytes buildMainBootSector(const ExfatLayout& layout, std::uint32_t volumeSerialNumber, int volumeFlags,
                          int percentInUse) {
    Bytes sector(sizeOf(layout.bytesPerSector), 0);
    std::copy(std::begin(jumpBoot), std::end(jumpBoot), sector.begin() + BootSector::jumpBootOffset);
    std::copy(BootSector::fileSystemName.begin(), BootSector::fileSystemName.end(),
              sector.begin() + BootSector::fileSystemNameOffset);
    LittleEndian::write64(sector, BootSector::partitionOffsetOffset, layout.partitionOffsetSectors);
    LittleEndian::write64(sector, BootSector::volumeLengthOffset, layout.volumeLengthSectors);
    LittleEndian::write32(sector, BootSector::fatOffsetOffset, layout.fatOffsetSectors);
    LittleEndian::write32(sector, BootSector::fatLengthOffset, layout.fatLengthSectors);
    LittleEndian::write32(sector, BootSector::clusterHeapOffsetOffset, layout.clusterHeapOffsetSectors);
    LittleEndian::write32(sector, BootSector::clusterCountOffset, layout.clusterCount);
    LittleEndian::write32(sector, BootSector::firstClusterOfRootDirectoryOffset, layout.firstClusterOfRootDirectory);
    LittleEndian::write32(sector, BootSector::volumeSerialNumberOffset, volumeSerialNumber);
    LittleEndian::write16(sector, BootSector::fileSystemRevisionOffset, BootSector::fileSystemRevision);
    LittleEndian::write16(sector, BootSector::volumeFlagsOffset, volumeFlags);
    sector[BootSector::bytesPerSectorShiftOffset] = static_cast<std::uint8_t>(layout.bytesPerSectorShift);
    sector[BootSector::sectorsPerClusterShiftOffset] = static_cast<std::uint8_t>(layout.sectorsPerClusterShift);
    sector[BootSector::numberOfFatsOffset] = static_cast<std::uint8_t>(layout.numberOfFats);
    sector[BootSector::driveSelectOffset] = BootSector::driveSelect;
    sector[BootSector::percentInUseOffset] = static_cast<std::uint8_t>(percentInUse);
    sector[BootSector::bootSignatureOffset] = 0x55;
    sector[BootSector::bootSignatureOffset + 1] = 0xAA;
    return sector;
}

Bytes buildExtendedBootSector(int bytesPerSector) {
    Bytes sector(sizeOf(bytesPerSector), 0);
    LittleEndian::write32(sector, sector.size() - 4, BootSector::extendedBootSignature);
    return sector;
}

Bytes buildZeroSector(int bytesPerSector) { return Bytes(sizeOf(bytesPerSector), 0); }

Bytes buildBootChecksumSector(std::span<const std::uint8_t> region, int bytesPerSector) {
    if (bytesPerSector < 4 || region.size() != sizeOf(BootRegion::checksummedSectors) * sizeOf(bytesPerSector)) {
        throw std::invalid_argument("boot checksum needs exactly 11 sectors of " + std::to_string(bytesPerSector) +
                                    " bytes, got " + std::to_string(region.size()) + " bytes");
    }
    const auto checksum = static_cast<std::uint32_t>(bootChecksum(region));
    Bytes sector(sizeOf(bytesPerSector), 0);
    for (std::size_t offset = 0; offset + 4 <= sector.size(); offset += 4) {
        LittleEndian::write32(sector, offset, checksum);
    }
    return sector;
}

Bytes buildBootRegion(const ExfatLayout& layout, std::uint32_t volumeSerialNumber, int percentInUse) {
    const auto sectorBytes = sizeOf(layout.bytesPerSector);
    Bytes region(sizeOf(BootRegion::sectors) * sectorBytes, 0);
    const Bytes main = buildMainBootSector(layout, volumeSerialNumber, 0, percentInUse);
    std::copy(main.begin(), main.end(), region.begin());
    const Bytes extended = buildExtendedBootSector(layout.bytesPerSector);
    for (std::int64_t sector = BootRegion::firstExtendedBootSector;
         sector < BootRegion::firstExtendedBootSector + BootRegion::extendedBootSectors; ++sector) {
        std::copy(extended.begin(), extended.end(), region.begin() + sector * layout.bytesPerSector);
    }
    // The OEM parameters and the reserved sector stay zero.
    const auto checksummed = std::span<const std::uint8_t>(region).first(sizeOf(BootRegion::checksummedSectors) * sectorBytes);
    const Bytes checksum = buildBootChecksumSector(checksummed, layout.bytesPerSector);
    std::copy(checksum.begin(), checksum.end(), region.begin() + BootRegion::checksumSector * layout.bytesPerSector);
    return region;
}

std::int32_t bootChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        // VolumeFlags and PercentInUse change while the volume is in use; the checksum must not.
        if (index == BootSector::volumeFlagsOffset || index == BootSector::volumeFlagsOffset + 1 ||
            index == BootSector::percentInUseOffset) {
            continue;
        }
        sum = rotateRightAdd(sum, bytes[index]);
    }
    return static_cast<std::int32_t>(sum);
}

Bytes buildFat(const ExfatLayout& layout) {
    Bytes fat(sizeOf(layout.fatLengthSectors) * sizeOf(layout.bytesPerSector), 0);
    LittleEndian::write32(fat, 0, Fat::mediaEntry);
    LittleEndian::write32(fat, Fat::entrySize, Fat::endOfChain);
    storeChain(fat, layout.bitmapFirstCluster, layout.bitmapClusters);
    storeChain(fat, layout.upcaseFirstCluster, layout.upcaseClusters);
    storeChain(fat, layout.rootFirstCluster, layout.rootClusters);
    return fat;
}

Bytes buildAllocationBitmap(const ExfatLayout& layout) {
    const std::int64_t sectorBytes = layout.bytesPerSector;
    const std::int64_t roundedBytes = (layout.bitmapLengthBytes + sectorBytes - 1) / sectorBytes * sectorBytes;
    Bytes bitmap(sizeOf(roundedBytes), 0);
    // Bit k, least significant first, describes cluster k + 2.
    for (std::int64_t bit = 0; bit < layout.allocatedClusterCount(); ++bit) {
        bitmap[sizeOf(bit / 8)] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return bitmap;
}

Bytes buildUpcaseTableImage(const ExfatLayout& layout) {
    Bytes image(sizeOf(layout.upcaseClusters * layout.clusterSizeBytes()), 0);
    std::copy(ExfatUpcaseTable::bytes.begin(), ExfatUpcaseTable::bytes.end(), image.begin());
    return image;
}

std::int32_t upcaseChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : bytes) sum = rotateRightAdd(sum, byte);
    return static_cast<std::int32_t>(sum);
}

Bytes buildRootDirectory(const ExfatLayout& layout, std::int32_t upcaseTableChecksum,
                         const std::optional<std::string>& volumeLabel) {
    const std::u16string label = volumeLabel ? utf16(*volumeLabel) : std::u16string();
    if (label.size() > maxVolumeLabelChars) {
        throw ExfatStructuresError(ExfatStructuresError::VolumeLabelTooLong{
            static_cast<std::int64_t>(label.size()), static_cast<std::int64_t>(maxVolumeLabelChars)});
    }
    Bytes cluster(sizeOf(layout.clusterSizeBytes()), 0);
    const std::span<std::uint8_t> bitmapEntry(cluster.data(), dirEntrySize);
    const std::span<std::uint8_t> upcaseEntry(cluster.data() + dirEntrySize, dirEntrySize);
    const std::span<std::uint8_t> labelEntry(cluster.data() + 2 * dirEntrySize, dirEntrySize);

    bitmapEntry[DirEntry::entryTypeOffset] = EntryType::allocationBitmap;
    LittleEndian::write32(bitmapEntry, DirEntry::firstClusterOffset, layout.bitmapFirstCluster);
    LittleEndian::write64(bitmapEntry, DirEntry::dataLengthOffset, layout.bitmapLengthBytes);

    upcaseEntry[DirEntry::entryTypeOffset] = EntryType::upcaseTable;
    LittleEndian::write32(upcaseEntry, DirEntry::tableChecksumOffset, upcaseTableChecksum);
    LittleEndian::write32(upcaseEntry, DirEntry::firstClusterOffset, layout.upcaseFirstCluster);
    LittleEndian::write64(upcaseEntry, DirEntry::dataLengthOffset, upcaseTableLength);

    // Written even for an empty label; the next entry (type 0) ends the directory.
    labelEntry[DirEntry::entryTypeOffset] = EntryType::volumeLabel;
    labelEntry[DirEntry::characterCountOffset] = static_cast<std::uint8_t>(label.size());
    for (std::size_t index = 0; index < label.size(); ++index) {
        LittleEndian::write16(labelEntry, DirEntry::volumeLabelOffset + 2 * index, label[index]);
    }
    return cluster;
}

}  // namespace marlowick::ExfatStructures
