#include "Exfat/ExfatDirectoryReader.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "Block/MemoryBlockDevice.hpp"
#include "Exfat/ExfatTestVolume.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::EntrySetSpec;

constexpr std::int64_t volumeStart = 2048;  // partition 1 of a Ventoy drive
const ExfatReadOptions engineOptions{8, 10000, false, 8192};

EntrySetSpec fileSet(std::u16string name, std::uint64_t sizeBytes) {
    EntrySetSpec spec;
    spec.name = std::move(name);
    spec.dataLength = sizeBytes;
    return spec;
}

EntrySetSpec folderSet(std::u16string name, std::uint32_t firstCluster, std::uint64_t dataLength,
                       std::uint8_t secondaryFlags = 0x01) {
    EntrySetSpec spec;
    spec.name = std::move(name);
    spec.isDirectory = true;
    spec.firstCluster = firstCluster;
    spec.dataLength = dataLength;
    spec.secondaryFlags = secondaryFlags;
    return spec;
}

EntrySetSpec bent(EntrySetSpec spec, std::optional<std::uint8_t> nameLength, std::optional<std::uint8_t> secondaryCount) {
    spec.nameLength = nameLength;
    spec.secondaryCount = secondaryCount;
    return spec;
}

// A small mkfs.exfat volume (4 KiB clusters) whose folders are then filled in by hand,
// placed at sector 2048 of a larger device.
class HandBuiltVolume {
public:
    explicit HandBuiltVolume(const test::TempDir& dir)
        : image(test::mkfsExfatImage(dir, 8 * 1024 * 1024, "-c 4K")), map(test::mapVolume(image)) {}

    [[nodiscard]] bool isValid() const { return !image.empty(); }
    [[nodiscard]] std::int64_t root() const { return map.rootCluster; }

    // Appends an entry set after the last one in the folder's first cluster.
    void add(std::int64_t folder, const EntrySetSpec& spec) { place(map.endOfDirectory(image, folder), spec); }
    void place(std::size_t offset, const EntrySetSpec& spec) {
        const std::vector<std::uint8_t> set = test::entrySet(spec);
        std::copy(set.begin(), set.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    // A one-cluster folder in `parent`, its chain ended in the FAT.
    std::int64_t addFolder(std::int64_t parent, const std::u16string& name) {
        const std::int64_t cluster = nextFree++;
        setFat(cluster, 0xFFFF'FFFF);
        add(parent, folderSet(name, static_cast<std::uint32_t>(cluster),
                                 static_cast<std::uint64_t>(map.clusterBytes)));
        return cluster;
    }
    std::int64_t allocate() { return nextFree++; }
    void setFat(std::int64_t cluster, std::uint32_t next) { test::writeLe(image, map.fatEntryOffset(cluster), next, 4); }
    // Deleted entries (type 0x05) up to the cluster's end, so a scan carries on into the next cluster.
    void fillWithDeleted(std::int64_t cluster) {
        const std::size_t end = map.clusterOffset(cluster) + static_cast<std::size_t>(map.clusterBytes);
        for (std::size_t offset = map.endOfDirectory(image, cluster); offset < end; offset += 32) image[offset] = 0x05;
    }
    [[nodiscard]] std::size_t clusterOffset(std::int64_t cluster) const { return map.clusterOffset(cluster); }
    [[nodiscard]] std::int64_t heapBytes() const { return map.clusterCount * map.clusterBytes; }

    [[nodiscard]] MemoryBlockDevice device(int sectorSize = 512) const {
        const std::int64_t startBytes = volumeStart * 512;
        MemoryBlockDevice device((startBytes + static_cast<std::int64_t>(image.size())) / sectorSize, sectorSize);
        std::copy(image.begin(), image.end(), device.mutableBytes().begin() + startBytes);
        return device;
    }

    std::vector<std::uint8_t> image;
    test::VolumeMap map;

private:
    std::int64_t nextFree = 40;  // well past what mkfs.exfat allocated
};

VentoyLayout layoutAt(std::int64_t part1StartSector) {
    VentoyLayout layout;
    layout.part1StartSector = part1StartSector;
    return layout;
}

// "path:size" per file and "path/" per folder, joined by ", "; other results rendered whole.
std::string summary(const ExfatListingResult& result) {
    const auto* success = std::get_if<ExfatListingResult::Success>(&result.value);
    if (success == nullptr) return render(result);
    std::string text;
    for (const ExfatEntry& entry : success->entries) {
        if (!text.empty()) text += ", ";
        text += entry.isDirectory ? entry.path + "/" : entry.path + ":" + std::to_string(entry.sizeBytes);
    }
    return text;
}

// alpha.iso, Folder/{inner.img, Deeper/{deep.vhdx}}, zeta.txt
HandBuiltVolume treeVolume(const test::TempDir& dir) {
    HandBuiltVolume volume(dir);
    if (!volume.isValid()) return volume;
    volume.add(volume.root(), fileSet(u"alpha.iso", 12345));
    const std::int64_t folder = volume.addFolder(volume.root(), u"Folder");
    volume.add(volume.root(), fileSet(u"zeta.txt", 1));
    volume.add(folder, fileSet(u"inner.img", 2048));
    const std::int64_t deeper = volume.addFolder(folder, u"Deeper");
    volume.add(deeper, fileSet(u"deep.vhdx", 7));
    return volume;
}

struct OptionsCase {
    const char* name;
    ExfatReadOptions options;
    const char* listing;
};

TEST(ExfatDirectoryReader, WalksDepthFirstWithinTheLimits) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    test::TempDir dir;
    HandBuiltVolume volume = treeVolume(dir);
    ASSERT_TRUE(volume.isValid());
    MemoryBlockDevice device = volume.device();
    const OptionsCase cases[] = {
        {"everything", {8, 100, true, 8192},
         "alpha.iso:12345, Folder/, Folder/inner.img:2048, Folder/Deeper/, Folder/Deeper/deep.vhdx:7, zeta.txt:1"},
        {"filesOnly", {8, 100, false, 8192}, "alpha.iso:12345, Folder/inner.img:2048, Folder/Deeper/deep.vhdx:7, zeta.txt:1"},
        {"rootOnly", {0, 100, false, 8192}, "alpha.iso:12345, zeta.txt:1"},
        {"rootWithFolders", {0, 100, true, 8192}, "alpha.iso:12345, Folder/, zeta.txt:1"},
        {"oneLevelDown", {1, 100, false, 8192}, "alpha.iso:12345, Folder/inner.img:2048, zeta.txt:1"},
        {"firstThree", {8, 3, true, 8192}, "alpha.iso:12345, Folder/, Folder/inner.img:2048"},
        {"noEntries", {8, 0, true, 8192}, ""},
        {"noClusters", {8, 100, true, 0}, ""},
    };
    for (const OptionsCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(summary(ExfatDirectoryReader::read(device, layoutAt(volumeStart), c.options)), c.listing);
    }
    EXPECT_FALSE(device.isClosed());
    EXPECT_EQ(device.flushCount(), 0);
}

TEST(ExfatDirectoryReader, KeepsImagesByExtensionWithoutRegardToCase) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    test::TempDir dir;
    HandBuiltVolume volume(dir);
    ASSERT_TRUE(volume.isValid());
    for (const char16_t* name : {u"Windows.ISO", u"a.b.vhdx", u"iso", u"image.iso.part", u".iso", u"notes.txt"}) {
        volume.add(volume.root(), fileSet(name, 10));
    }
    const std::int64_t folder = volume.addFolder(volume.root(), u"folder.iso");
    volume.add(folder, fileSet(u"boot.EFI", 20));
    MemoryBlockDevice device = volume.device();
    const ExfatListingResult images = ExfatDirectoryReader::readImages(
        device, layoutAt(volumeStart), ExfatDirectoryReader::bootableImageExtensions, {8, 100, true, 8192});
    EXPECT_EQ(summary(images), "Windows.ISO:10, a.b.vhdx:10, .iso:10, folder.iso/boot.EFI:20");
    const ExfatListingResult upperCaseWanted =
        ExfatDirectoryReader::readImages(device, layoutAt(volumeStart), {"TXT"}, engineOptions);
    EXPECT_EQ(summary(upperCaseWanted), "notes.txt:10");
}

struct ChainCase {
    const char* name;
    std::uint8_t folderFlags;
    bool linkFat;
    const char* listing;
};

// A three-cluster folder; one entry set straddles the first cluster boundary.
TEST(ExfatDirectoryReader, FollowsContiguousFoldersThatHaveNoFatChain) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    const ChainCase cases[] = {
        {"noFatChainFlag", 0x03, false, "Big/one.iso:1, Big/straddling.iso:2, Big/two.iso:3, Big/three.iso:4"},
        {"fatChain", 0x01, true, "Big/one.iso:1, Big/straddling.iso:2, Big/two.iso:3, Big/three.iso:4"},
        {"fatChainWithoutFatEntries", 0x01, false, "Big/one.iso:1"},
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        HandBuiltVolume volume(dir);
        ASSERT_TRUE(volume.isValid());
        const std::int64_t first = volume.allocate();
        (void)volume.allocate();
        (void)volume.allocate();
        volume.setFat(first, c.linkFat ? first + 1 : 0);
        volume.setFat(first + 1, c.linkFat ? first + 2 : 0);
        volume.setFat(first + 2, c.linkFat ? 0xFFFF'FFFF : 0);
        volume.add(volume.root(), folderSet(u"Big", static_cast<std::uint32_t>(first),
                                               static_cast<std::uint64_t>(3 * volume.map.clusterBytes), c.folderFlags));
        volume.add(first, fileSet(u"one.iso", 1));
        volume.fillWithDeleted(first);
        const std::size_t boundary = volume.clusterOffset(first + 1);
        volume.place(boundary - 32, fileSet(u"straddling.iso", 2));
        volume.add(first + 1, fileSet(u"two.iso", 3));
        volume.fillWithDeleted(first + 1);
        volume.add(first + 2, fileSet(u"three.iso", 4));
        MemoryBlockDevice device = volume.device();
        EXPECT_EQ(summary(ExfatDirectoryReader::read(device, layoutAt(volumeStart), engineOptions)), c.listing);
    }
}

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
    {"rootCluster1", [](auto& v, auto) { test::writeLe(v.image, 96, 1, 4); },
     "unsupported(reason: \"invalid root cluster 1\")", "unsupported(reason: \"invalid root cluster 1\")"},
    {"rootClusterPastHeap", [](auto& v, auto) { test::writeLe(v.image, 96, 1538, 4); },
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
    {"clusterCountHuge", [](auto& v, auto) { test::writeLe(v.image, 92, 0xFFFF'FFFF, 4); }, soundListing,
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
    {"fatPastTheDevice", [](auto& v, auto) { test::writeLe(v.image, 80, 0xFFFF'FFF0, 4); },
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

TEST(ExfatDirectoryReader, PassesDeviceFailuresOnUnchanged) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    test::TempDir dir;
    HandBuiltVolume volume = treeVolume(dir);
    ASSERT_TRUE(volume.isValid());
    MemoryBlockDevice device = volume.device();
    EXPECT_EQ(render(ExfatDirectoryReader::read(device, layoutAt(device.sectorCount()), engineOptions)),
              "readFailed(error: outOfBounds(startSector: 18432, sectorCount: 1, deviceSectorCount: 18432))");
    device.close();
    const ExfatFreeSpaceResult closed = ExfatDirectoryReader::readFreeSpace(device, layoutAt(volumeStart), engineOptions);
    EXPECT_EQ(render(closed), "readFailed(error: closed(operation: \"read\"))");
}

TEST(ExfatDirectoryReader, RefusesAVolumeReadThroughALargerSectorSize) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    test::TempDir dir;
    HandBuiltVolume volume = treeVolume(dir);
    ASSERT_TRUE(volume.isValid());
    MemoryBlockDevice device = volume.device(4096);
    const ExfatListingResult listing = ExfatDirectoryReader::read(device, layoutAt(volumeStart / 8), engineOptions);
    EXPECT_EQ(render(listing), "unsupported(reason: \"exFAT BytesPerSector 512 != device sector size 4096\")");
}

TEST(ExfatDirectoryReader, CountsFreeSpaceAsDumpExfatDoes) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    MARLOWICK_REQUIRE_TOOL("dump.exfat");
    test::TempDir dir;
    HandBuiltVolume volume(dir);
    ASSERT_TRUE(volume.isValid());
    const test::CommandOutput dump = test::runCommand("dump.exfat '" + dir.file("mkfs.img").string() + "'");
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    // 8 MiB, 4 KiB clusters: 1536 clusters, of which bitmap, up-case table (2) and root take 4.
    ASSERT_NE(dump.output.find("Free Clusters: \t\t\t\t1532"), std::string::npos) << dump.output;
    MemoryBlockDevice device = volume.device();
    const ExfatFreeSpaceResult freeSpace =
        ExfatDirectoryReader::readFreeSpace(device, layoutAt(volumeStart), engineOptions);
    const ExfatFreeSpaceResult expected{ExfatFreeSpaceResult::Success{1532 * 4096, 1536 * 4096}};
    EXPECT_EQ(freeSpace, expected);
}

}  // namespace
}  // namespace marlowick
