#include "Exfat/ExfatStructures.hpp"

#include <gtest/gtest.h>

#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatLayoutCalculator.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using namespace ExfatStructures;
using LittleEndian::read16;
using LittleEndian::read32;
using LittleEndian::read64;

ExfatLayout layoutOf(std::int64_t length, int sectorSize, std::int64_t sectorsPerCluster, std::int64_t offset = 0) {
    return std::get<ExfatLayout>(ExfatLayoutCalculator::calculate(length, sectorSize, sectorsPerCluster, offset));
}

std::string structuresErrorOf(const std::function<void()>& build) {
    try {
        build();
    } catch (const ExfatStructuresError& error) {
        EXPECT_EQ(error.what(), render(error.value));
        return render(error.value);
    }
    return "built";
}

TEST(ExfatStructures, MainBootSectorCarriesTheLayout) {
    const ExfatLayout layout = layoutOf(262144, 4096, 8, 2048);
    const Bytes sector = buildMainBootSector(layout, 0xCAFEF00D, 0, 7);
    ASSERT_EQ(sector.size(), 4096u);
    EXPECT_EQ(std::string(sector.begin() + 3, sector.begin() + 11), "EXFAT   ");
    EXPECT_EQ(sector[0], 0xEB);
    EXPECT_EQ(sector[1], 0x76);
    EXPECT_EQ(sector[2], 0x90);
    EXPECT_EQ(read64(sector, BootSector::partitionOffsetOffset), 2048u);
    EXPECT_EQ(read64(sector, BootSector::volumeLengthOffset), 262144u);
    EXPECT_EQ(read32(sector, BootSector::fatOffsetOffset), 24u);
    EXPECT_EQ(read32(sector, BootSector::fatLengthOffset), layout.fatLengthSectors);
    EXPECT_EQ(read32(sector, BootSector::clusterHeapOffsetOffset), layout.clusterHeapOffsetSectors);
    EXPECT_EQ(read32(sector, BootSector::clusterCountOffset), layout.clusterCount);
    EXPECT_EQ(read32(sector, BootSector::firstClusterOfRootDirectoryOffset), layout.rootFirstCluster);
    EXPECT_EQ(read32(sector, BootSector::volumeSerialNumberOffset), 0xCAFEF00Du);
    EXPECT_EQ(read16(sector, BootSector::fileSystemRevisionOffset), 0x0100);
    EXPECT_EQ(sector[BootSector::bytesPerSectorShiftOffset], 12);
    EXPECT_EQ(sector[BootSector::sectorsPerClusterShiftOffset], 3);
    EXPECT_EQ(sector[BootSector::numberOfFatsOffset], 1);
    EXPECT_EQ(sector[BootSector::driveSelectOffset], 0x80);
    EXPECT_EQ(sector[BootSector::percentInUseOffset], 7);
    EXPECT_EQ(sector[510], 0x55);
    EXPECT_EQ(sector[511], 0xAA);
    EXPECT_TRUE(std::all_of(sector.begin() + 512, sector.end(), [](std::uint8_t b) { return b == 0; }));

    const Bytes extended = buildExtendedBootSector(4096);
    EXPECT_EQ(read32(extended, 4092), 0xAA550000u);
    EXPECT_EQ(extended[4094], 0x55);
    EXPECT_EQ(extended[510], 0);
}

TEST(ExfatStructures, BootChecksumIgnoresOnlyTheFieldsThatChangeInUse) {
    const ExfatLayout layout = layoutOf(1000, 512, 8);
    const Bytes region = buildBootRegion(layout, 1, 10);
    ASSERT_EQ(region.size(), 12u * 512);
    const std::span<const std::uint8_t> checksummed(region.data(), 11 * 512);
    const std::int32_t base = bootChecksum(checksummed);
    EXPECT_EQ(read32(region, 11 * 512), static_cast<std::uint32_t>(base));
    EXPECT_EQ(read32(region, 12 * 512 - 4), static_cast<std::uint32_t>(base));
    for (const std::size_t index : {std::size_t{106}, std::size_t{107}, std::size_t{112}, std::size_t{100},
                                    std::size_t{1023}, std::size_t{11 * 512 - 1}}) {
        Bytes changed(checksummed.begin(), checksummed.end());
        changed[index] ^= 0x5A;
        const bool ignored = index == 106 || index == 107 || index == 112;
        EXPECT_EQ(bootChecksum(changed) == base, ignored) << "byte " << index;
    }
    EXPECT_THROW((void)buildBootChecksumSector(std::span<const std::uint8_t>(region.data(), 10 * 512), 512),
                 std::invalid_argument);
}

TEST(ExfatStructures, FatChainsTheSystemObjects) {
    // 4 KiB clusters of one sector: bitmap 1, up-case 2, root 1 cluster.
    const ExfatLayout layout = layoutOf(262144, 4096, 1);
    ASSERT_EQ(layout.upcaseClusters, 2);
    const Bytes fat = buildFat(layout);
    ASSERT_EQ(fat.size(), static_cast<std::size_t>(layout.fatLengthSectors * 4096));
    const auto entry = [&](std::size_t index) { return read32(fat, index * 4); };
    EXPECT_EQ(entry(0), 0xFFFFFFF8u);
    EXPECT_EQ(entry(1), 0xFFFFFFFFu);
    const std::int64_t bitmapEnd = 2 + layout.bitmapClusters - 1;
    for (std::int64_t cluster = 2; cluster < bitmapEnd; ++cluster) EXPECT_EQ(entry(cluster), cluster + 1);
    EXPECT_EQ(entry(bitmapEnd), 0xFFFFFFFFu);
    EXPECT_EQ(entry(layout.upcaseFirstCluster), layout.upcaseFirstCluster + 1);
    EXPECT_EQ(entry(layout.upcaseFirstCluster + 1), 0xFFFFFFFFu);
    EXPECT_EQ(entry(layout.rootFirstCluster), 0xFFFFFFFFu);
    EXPECT_EQ(entry(layout.rootFirstCluster + 1), 0u);
}

TEST(ExfatStructures, BitmapMarksTheAllocatedClustersAndIsSectorRounded) {
    const ExfatLayout small = layoutOf(1000, 512, 8);  // 121 clusters, 16 bitmap bytes
    const Bytes bitmap = buildAllocationBitmap(small);
    ASSERT_EQ(bitmap.size(), 512u);
    EXPECT_EQ(bitmap[0], 0x0F);  // bitmap, two up-case clusters, root
    EXPECT_TRUE(std::all_of(bitmap.begin() + 1, bitmap.end(), [](std::uint8_t b) { return b == 0; }));

    const ExfatLayout layout = layoutOf(262144, 4096, 1);  // bitmap 8, up-case 2, root 1 cluster
    ASSERT_EQ(layout.allocatedClusterCount(), 11);
    const Bytes wide = buildAllocationBitmap(layout);
    EXPECT_EQ(wide.size(), 8u * 4096);
    EXPECT_EQ(wide[0], 0xFF);
    EXPECT_EQ(wide[1], 0x07);
    EXPECT_EQ(wide[2], 0x00);
}

TEST(ExfatStructures, UpcaseImageIsTheTablePaddedToItsClusters) {
    const ExfatLayout layout = layoutOf(1000, 512, 8);
    const Bytes image = buildUpcaseTableImage(layout);
    ASSERT_EQ(image.size(), 2u * 4096);
    EXPECT_TRUE(std::equal(ExfatUpcaseTable::bytes.begin(), ExfatUpcaseTable::bytes.end(), image.begin()));
    EXPECT_TRUE(std::all_of(image.begin() + 5836, image.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(ExfatStructures, RootDirectoryHoldsBitmapUpcaseAndLabelEntries) {
    const ExfatLayout layout = layoutOf(1000, 512, 8);
    const Bytes root = buildRootDirectory(layout, ExfatUpcaseTable::checksum(), "Été 2024");
    ASSERT_EQ(root.size(), 4096u);
    EXPECT_EQ(root[0], EntryType::allocationBitmap);
    EXPECT_EQ(read32(root, DirEntry::firstClusterOffset), 2u);
    EXPECT_EQ(read64(root, DirEntry::dataLengthOffset), 16u);
    EXPECT_EQ(root[32], EntryType::upcaseTable);
    EXPECT_EQ(read32(root, 32 + DirEntry::tableChecksumOffset), 0xE619D30Du);
    EXPECT_EQ(read32(root, 32 + DirEntry::firstClusterOffset), 3u);
    EXPECT_EQ(read64(root, 32 + DirEntry::dataLengthOffset), 5836u);
    EXPECT_EQ(root[64], EntryType::volumeLabel);
    EXPECT_EQ(root[65], 8);
    EXPECT_EQ(read16(root, 66), 0x00C9);  // É
    EXPECT_EQ(read16(root, 66 + 7 * 2), u'4');
    EXPECT_EQ(read16(root, 66 + 8 * 2), 0);
    EXPECT_TRUE(std::all_of(root.begin() + 96, root.end(), [](std::uint8_t b) { return b == 0; }));

    const Bytes unlabelled = buildRootDirectory(layout, 0, std::nullopt);
    EXPECT_EQ(unlabelled[64], EntryType::volumeLabel);
    EXPECT_EQ(unlabelled[65], 0);

    EXPECT_EQ(buildRootDirectory(layout, 0, "ABCDEFGHIJK")[65], 11);
    EXPECT_EQ(structuresErrorOf([&] { (void)buildRootDirectory(layout, 0, "ABCDEFGHIJKL"); }),
              "volumeLabelTooLong(count: 12, max: 11)");
    // Counted in UTF-16 code units: six characters outside the basic plane take twelve.
    EXPECT_EQ(structuresErrorOf([&] { (void)buildRootDirectory(layout, 0, "😀😀😀😀😀😀"); }),
              "volumeLabelTooLong(count: 12, max: 11)");
}

TEST(ExfatStructures, FileEntrySetsHaveOneNameEntryPerFifteenCodeUnits) {
    struct Row { std::size_t length; std::size_t entries; };
    const Row rows[] = {{1, 3}, {15, 3}, {16, 4}, {25, 4}, {255, 19}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        const std::string name(row.length, 'n');
        const Bytes set = buildFileEntrySet(name, 12345, 9, false, ExfatTimestamp::unset);
        ASSERT_EQ(set.size(), row.entries * 32);
        EXPECT_EQ(fileEntrySetCount(static_cast<std::int64_t>(row.length)), static_cast<std::int64_t>(row.entries));
        EXPECT_EQ(set[0], EntryType::file);
        EXPECT_EQ(set[1], row.entries - 1);
        EXPECT_EQ(read16(set, 2), static_cast<std::uint16_t>(entrySetChecksum(set)));
        EXPECT_EQ(set[32], EntryType::streamExtension);
        EXPECT_EQ(set[32 + 3], row.length);
        for (std::size_t entry = 2; entry < row.entries; ++entry) EXPECT_EQ(set[entry * 32], EntryType::fileName);
    }
    EXPECT_EQ(fileEntrySetCount(0), 3);
    EXPECT_EQ(fileEntrySetCount(-1), 3);
    EXPECT_EQ(structuresErrorOf([] { (void)buildFileEntrySet(std::string(256, 'n'), 0, 0, false, {}); }),
              "fileNameTooLong(count: 256, max: 255)");
    EXPECT_EQ(structuresErrorOf([] { (void)buildFileEntrySet("", 0, 0, false, {}); }), "emptyFileName");
}

TEST(ExfatStructures, FileEntrySetFields) {
    const ExfatTimestamp stamp(0x58221882, 100, 0x80);
    const Bytes set = buildFileEntrySet("Readme.TXT", 5000000000, 0x1'0000'0007, true, stamp);
    EXPECT_EQ(read16(set, DirEntry::fileAttributesOffset), 0x10);
    for (const std::size_t offset : {8u, 12u, 16u}) EXPECT_EQ(read32(set, offset), 0x58221882u);
    EXPECT_EQ(set[20], 100);
    EXPECT_EQ(set[21], 100);
    EXPECT_EQ(set[22], 0x80);
    EXPECT_EQ(set[24], 0x80);
    EXPECT_EQ(set[32 + 1], 0x01);
    EXPECT_EQ(read16(set, 32 + 4), static_cast<std::uint16_t>(nameHash("README.TXT")));
    EXPECT_EQ(read64(set, 32 + 8), 5000000000u);
    EXPECT_EQ(read32(set, 32 + 20), 7u);  // low 32 bits
    EXPECT_EQ(read64(set, 32 + 24), 5000000000u);
    EXPECT_EQ(read16(set, 64 + 2), u'R');
    EXPECT_EQ(read16(set, 64 + 2 + 9 * 2), u'T');
    EXPECT_EQ(read16(set, 64 + 2 + 10 * 2), 0);
    EXPECT_EQ(read16(buildFileEntrySet("a", 0, 0, false, {}), 4), 0x20);

    // Changing any byte but the checksum field changes the checksum.
    Bytes changed = set;
    changed[70] ^= 1;
    EXPECT_NE(entrySetChecksum(changed), entrySetChecksum(set));
    changed = set;
    changed[2] ^= 0xFF;
    EXPECT_EQ(entrySetChecksum(changed), entrySetChecksum(set));
}

TEST(ExfatStructures, NameHashUpcasesThroughTheVolumeTable) {
    EXPECT_EQ(nameHash("readme.txt"), nameHash("README.TXT"));
    EXPECT_EQ(nameHash("été"), nameHash("ÉTÉ"));
    EXPECT_EQ(nameHash(u"A"), static_cast<std::int16_t>(0x8020));  // 0x41, rotated right once, plus 0x00
    // The table keeps ß as it is; a full case mapping would hash "SS" instead.
    EXPECT_EQ(nameHash("ß"), nameHash(u"\u00DF"));
    EXPECT_NE(nameHash("ß"), nameHash("SS"));
}

}  // namespace
}  // namespace marlowick
