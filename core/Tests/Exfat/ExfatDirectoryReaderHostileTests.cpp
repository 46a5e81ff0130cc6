#include "Exfat/ExfatDirectoryReader.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "Block/MemoryBlockDevice.hpp"
#include "Exfat/ExfatTestVolume.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::bent;
using test::fileSet;
using test::folderSet;
using test::HandBuiltVolume;
using test::layoutAt;
using test::summary;

constexpr std::int64_t volumeStart = HandBuiltVolume::deviceStartSector;
const ExfatReadOptions engineOptions{8, 10000, false, 8192};

struct HostileCase {
    const char* name;
    std::function<void(HandBuiltVolume&, std::int64_t folder)> damage;
    const char* listing;    // the result of read(): a summary, or the rendered failure
    const char* freeSpace;  // the rendered result of readFreeSpace(), or nullptr when it stays as on a sound volume
};

void setBootByte(HandBuiltVolume& volume, std::size_t offset, std::uint8_t value) { volume.image[offset] = value; }

// A folder's first cluster filled, so that its chain's next cluster is read too.
void chainFolderTo(HandBuiltVolume& volume, std::int64_t folder, std::uint32_t next) {
    volume.fillWithDeleted(folder);
    volume.setFat(folder, next);
}

const char* const soundListing = "alpha.iso:12345, Folder/inner.img:2048";

const HostileCase hostileCases[] = {
    {"fileSystemName", [](auto& v, auto) { std::copy_n("NTFS    ", 8, v.image.begin() + 3); }, "notExfat", "notExfat"},
    {"sectorShift8", [](auto& v, auto) { setBootByte(v, 108, 8); },
     "unsupported(reason: \"exFAT BytesPerSector 256 != device sector size 512\")",
     "unsupported(reason: \"exFAT BytesPerSector 256 != device sector size 512\")"},
    {"sectorShift13", [](auto& v, auto) { setBootByte(v, 108, 13); },
     "unsupported(reason: \"exFAT BytesPerSector 8192 != device sector size 512\")",
     "unsupported(reason: \"exFAT BytesPerSector 8192 != device sector size 512\")"},
    {"sectorShift64", [](auto& v, auto) { setBootByte(v, 108, 64); },
     "unsupported(reason: \"exFAT BytesPerSector 0 != device sector size 512\")",
     "unsupported(reason: \"exFAT BytesPerSector 0 != device sector size 512\")"},
    {"clusterShift17", [](auto& v, auto) { setBootByte(v, 109, 17); },
     "unsupported(reason: \"exFAT SectorsPerClusterShift 17 gives clusters larger than 32 MiB\")",
     "unsupported(reason: \"exFAT SectorsPerClusterShift 17 gives clusters larger than 32 MiB\")"},
    {"clusterShift255", [](auto& v, auto) { setBootByte(v, 109, 255); },
     "unsupported(reason: \"exFAT SectorsPerClusterShift 255 gives clusters larger than 32 MiB\")",
     "unsupported(reason: \"exFAT SectorsPerClusterShift 255 gives clusters larger than 32 MiB\")"},
    {"rootCluster1", [](auto& v, auto) { LittleEndian::write32(v.image, 96, 1); },
     "unsupported(reason: \"invalid root cluster 1\")", "unsupported(reason: \"invalid root cluster 1\")"},
    {"rootClusterPastHeap", [](auto& v, auto) { LittleEndian::write32(v.image, 96, 1538); },
     "unsupported(reason: \"invalid root cluster 1538\")",
     "unsupported(reason: \"invalid root cluster 1538\")"},
    {"folderChainLoops",
     [](auto& v, auto folder) {
         const std::int64_t second = v.allocate();
         chainFolderTo(v, folder, static_cast<std::uint32_t>(second));
         v.setFat(second, static_cast<std::uint32_t>(folder));
         v.add(second, fileSet(u"second.img", 5));
         v.fillWithDeleted(second);
     },
     "alpha.iso:12345, Folder/inner.img:2048, Folder/second.img:5", nullptr},
    {"folderChainLeavesHeap", [](auto& v, auto folder) { chainFolderTo(v, folder, 0x0FFF'FFFF); }, soundListing,
     nullptr},
    {"folderChainHitsReservedCluster", [](auto& v, auto folder) { chainFolderTo(v, folder, 1); }, soundListing,
     nullptr},
    {"folderIsTheRoot",
     [](auto& v, auto) {
         v.add(v.root(), folderSet(u"Again", static_cast<std::uint32_t>(v.root()), 4096));
     },
     soundListing, nullptr},
    {"folderIsItsOwnParent",
     [](auto& v, auto folder) { v.add(folder, folderSet(u"Self", static_cast<std::uint32_t>(folder), 4096)); },
     soundListing, nullptr},
    {"contiguousFolderRunsPastTheHeap",
     [](auto& v, auto) {
         const std::int64_t first = v.map.clusterCount;  // the heap's last two clusters
         v.add(v.root(), folderSet(u"Wide", static_cast<std::uint32_t>(first),
                                   static_cast<std::uint64_t>(v.heapBytes()), 0x03));
         v.fillWithDeleted(first);
         v.add(first + 1, fileSet(u"last.iso", 9));
         v.fillWithDeleted(first + 1);
     },
     "alpha.iso:12345, Folder/inner.img:2048, Wide/last.iso:9", nullptr},
    {"secondaryCountZero",
     [](auto& v, auto) { v.add(v.root(), bent(fileSet(u"broken.iso", 1), std::nullopt, 0)); },
     soundListing, nullptr},
    {"secondaryCountPastTheFolder",
     [](auto& v, auto) { v.add(v.root(), bent(fileSet(u"long.iso", 1), std::nullopt, 255)); },
     soundListing, nullptr},
    {"streamExtensionMissing",
     [](auto& v, auto) {
         const std::size_t at = v.map.endOfDirectory(v.image, v.root());
         v.add(v.root(), fileSet(u"nostream.iso", 1));
         v.image[at + 32] = 0xC1;
     },
     soundListing, nullptr},
    {"nameLengthBeyondItsEntries",
     [](auto& v, auto) { v.add(v.root(), bent(fileSet(u"fifteen-chars.i", 3), 40, std::nullopt)); },
     "alpha.iso:12345, Folder/inner.img:2048, fifteen-chars.i:3", nullptr},
    {"nameLengthCoversPadding",
     [](auto& v, auto) { v.add(v.root(), bent(fileSet(u"short.iso", 3), 40, std::nullopt)); }, soundListing,
     nullptr},
    {"nameLengthZero", [](auto& v, auto) { v.add(v.root(), bent(fileSet(u"x.iso", 3), 0, std::nullopt)); },
     soundListing, nullptr},
    {"nameClimbsOut", [](auto& v, auto) { v.add(v.root(), folderSet(u"..", 7, 4096)); }, soundListing,
     nullptr},
    {"nameWithSlash", [](auto& v, auto) { v.add(v.root(), fileSet(u"../x.iso", 3)); }, soundListing,
     nullptr},
    {"loneSurrogate", [](auto& v, auto) { v.add(v.root(), fileSet(u"bad\xD800.iso", 3)); },
     "alpha.iso:12345, Folder/inner.img:2048, bad\xEF\xBF\xBD.iso:3", nullptr},
    {"dataLengthOfTheWholeHeap",
     [](auto& v, auto) {
         v.add(v.root(), fileSet(u"full.iso", static_cast<std::uint64_t>(v.heapBytes())));
     },
     "alpha.iso:12345, Folder/inner.img:2048, full.iso:6291456", nullptr},
    {"dataLengthPastTheHeap",
     [](auto& v, auto) {
         v.add(v.root(), fileSet(u"over.iso", static_cast<std::uint64_t>(v.heapBytes()) + 1));
     },
     soundListing, nullptr},
    {"dataLengthPastSigned64",
     [](auto& v, auto) { v.add(v.root(), fileSet(u"huge.iso", 0x8000'0000'0000'0005)); },
     soundListing, nullptr},
    {"clusterCountHuge", [](auto& v, auto) { LittleEndian::write32(v.image, 92, 0xFFFF'FFFF); }, soundListing,
     "unsupported(reason: \"allocation bitmap shorter than expected (4096 < 536870912)\")"},
    {"bitmapEntryMissing",
     [](auto& v, auto) {
         for (std::size_t at = v.clusterOffset(v.root());; at += 32) {
             if (v.image[at] == 0x81) {
                 v.image[at] = 0x01;
                 break;
             }
         }
     },
     soundListing, "unsupported(reason: \"allocation bitmap entry not found in root\")"},
    {"fatPastTheDevice", [](auto& v, auto) { LittleEndian::write32(v.image, 80, 0xFFFF'FFF0); },
     "readFailed(error: outOfBounds(startSector: 4294969328, sectorCount: 1, deviceSectorCount: 18432))",
     "readFailed(error: outOfBounds(startSector: 4294969328, sectorCount: 1, deviceSectorCount: 18432))"},
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class ExfatDirectoryReaderHostile : public ::testing::TestWithParam<HostileCase> {};

// Each damage gives a definite answer; nothing crashes, loops or allocates without bound.
TEST_P(ExfatDirectoryReaderHostile, AnswersWithoutCrashing) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    const HostileCase& c = GetParam();
    test::TempDir dir;
    HandBuiltVolume volume(dir);
    ASSERT_TRUE(volume.isValid());
    volume.add(volume.root(), fileSet(u"alpha.iso", 12345));
    const std::int64_t folder = volume.addFolder(volume.root(), u"Folder");
    volume.add(folder, fileSet(u"inner.img", 2048));
    MemoryBlockDevice soundDevice = volume.device();
    const ExfatFreeSpaceResult soundFreeSpace =
        ExfatDirectoryReader::readFreeSpace(soundDevice, layoutAt(volumeStart), engineOptions);

    c.damage(volume, folder);
    MemoryBlockDevice device = volume.device();
    EXPECT_EQ(summary(ExfatDirectoryReader::read(device, layoutAt(volumeStart), engineOptions)), c.listing);
    const ExfatFreeSpaceResult freeSpace =
        ExfatDirectoryReader::readFreeSpace(device, layoutAt(volumeStart), engineOptions);
    EXPECT_EQ(render(freeSpace), c.freeSpace != nullptr ? c.freeSpace : render(soundFreeSpace));
}

INSTANTIATE_TEST_SUITE_P(Exfat, ExfatDirectoryReaderHostile, ::testing::ValuesIn(hostileCases), test::CaseName{});

// Counts the bytes read through it.
class CountingBlockDevice final : public BlockDevice {
public:
    explicit CountingBlockDevice(BlockDevice& inner) : inner(inner) {}
    [[nodiscard]] int sectorSize() const override { return inner.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return inner.sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override {
        bytesRead += sectorCount * inner.sectorSize();
        return inner.readSectors(startSector, sectorCount);
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override {
        return inner.writeSectors(startSector, data);
    }
    [[nodiscard]] BlockFlushResult flush() override { return inner.flush(); }
    void close() override { inner.close(); }

    std::int64_t bytesRead = 0;

private:
    BlockDevice& inner;
};

// A hundred folders whose chains all run into one chain of 8190 clusters (32 MiB) of
// deleted entries: read folder by folder that is 3.2 GB; the walk stops at 256 MiB.
TEST(ExfatDirectoryReader, StopsReadingFoldersThatShareOneLongChain) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    test::TempDir dir;
    HandBuiltVolume volume(dir, 64 * 1024 * 1024);
    ASSERT_TRUE(volume.isValid());
    constexpr std::int64_t longChain = 2000;
    constexpr std::int64_t longChainClusters = 8190;
    for (std::int64_t cluster = longChain; cluster < longChain + longChainClusters; ++cluster) {
        const bool last = cluster + 1 == longChain + longChainClusters;
        volume.setFat(cluster, last ? 0xFFFF'FFFF : static_cast<std::uint32_t>(cluster + 1));
    }
    const auto chainBytes = static_cast<std::size_t>(longChainClusters * volume.map.clusterBytes);
    std::fill_n(volume.image.begin() + static_cast<std::ptrdiff_t>(volume.clusterOffset(longChain)), chainBytes, 0x05);
    const std::int64_t hub = volume.allocate();
    for (int i = 1; i < 3; ++i) volume.setFat(volume.allocate(), 0);
    volume.setFat(hub, static_cast<std::uint32_t>(hub + 1));
    volume.setFat(hub + 1, static_cast<std::uint32_t>(hub + 2));
    volume.setFat(hub + 2, 0xFFFF'FFFF);
    volume.add(volume.root(), folderSet(u"Hub", static_cast<std::uint32_t>(hub), 3 * 4096));
    for (int i = 0; i < 100; ++i) {
        const std::int64_t folder = volume.allocate();
        volume.setFat(folder, longChain);
        volume.fillWithDeleted(folder);
        const std::u16string name = u"D" + std::u16string(1, static_cast<char16_t>(u'A' + i / 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
        volume.place(volume.clusterOffset(hub) + static_cast<std::size_t>(i) * 96,
                     folderSet(name, static_cast<std::uint32_t>(folder), 4096));
    }
    MemoryBlockDevice memory = volume.device();
    CountingBlockDevice device(memory);
    const ExfatListingResult listing = ExfatDirectoryReader::read(device, layoutAt(volumeStart), engineOptions);
    EXPECT_EQ(summary(listing), "");
    // Directory bytes plus one FAT sector per 4 KiB cluster.
    constexpr std::int64_t walkBudget = 256LL * 1024 * 1024;
    EXPECT_LE(device.bytesRead, walkBudget + walkBudget / 8 + (1LL << 20));
    EXPECT_GE(device.bytesRead, walkBudget);
}

}  // namespace
}  // namespace marlowick
