#include "Exfat/ExfatDirectoryReader.hpp"

#include <gtest/gtest.h>

#include "Block/MemoryBlockDevice.hpp"
#include "Exfat/ExfatTestVolume.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::HandBuiltVolume;
using test::fileSet;
using test::folderSet;
using test::layoutAt;
using test::summary;

constexpr std::int64_t volumeStart = HandBuiltVolume::deviceStartSector;
const ExfatReadOptions engineOptions{8, 10000, false, 8192};

// alpha.iso, Folder/{inner.img, Deeper/{deep.vhdx}}, Void/ (no cluster at all), zeta.txt
HandBuiltVolume treeVolume(const test::TempDir& dir) {
    HandBuiltVolume volume(dir);
    if (!volume.isValid()) return volume;
    volume.add(volume.root(), fileSet(u"alpha.iso", 12345));
    const std::int64_t folder = volume.addFolder(volume.root(), u"Folder");
    volume.add(volume.root(), folderSet(u"Void", 0, 0));
    volume.add(volume.root(), fileSet(u"zeta.txt", 1));
    volume.add(folder, fileSet(u"inner.img", 2048));
    const std::int64_t deeper = volume.addFolder(folder, u"Deeper");
    volume.add(deeper, fileSet(u"deep.vhdx", 7));
    return volume;
}

// The tree volume, for tests that read it whole or damage it in place.
class ExfatDirectoryReaderTree : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
        tree.emplace(treeVolume(dir));
        ASSERT_TRUE(tree->isValid());
    }
    test::TempDir dir;
    std::optional<HandBuiltVolume> tree;
};

struct OptionsCase {
    const char* name;
    ExfatReadOptions options;
    const char* listing;
};

TEST_F(ExfatDirectoryReaderTree, WalksDepthFirstWithinTheLimits) {
    MemoryBlockDevice device = tree->device();
    const OptionsCase cases[] = {
        {"everything", {8, 100, true, 8192},
         "alpha.iso:12345, Folder/, Folder/inner.img:2048, Folder/Deeper/, Folder/Deeper/deep.vhdx:7, Void/, "
         "zeta.txt:1"},
        {"filesOnly", {8, 100, false, 8192},
         "alpha.iso:12345, Folder/inner.img:2048, Folder/Deeper/deep.vhdx:7, zeta.txt:1"},
        {"rootOnly", {0, 100, false, 8192}, "alpha.iso:12345, zeta.txt:1"},
        {"rootWithFolders", {0, 100, true, 8192}, "alpha.iso:12345, Folder/, Void/, zeta.txt:1"},
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

// Every byte of the boot sector's fields and of the root's first entries, set in turn to
// values that stress bounds; each read must answer, and a listing must stay sane.
TEST_F(ExfatDirectoryReaderTree, SurvivesEachByteOfItsMetadataDamaged) {
    MemoryBlockDevice device = tree->device();
    std::vector<std::uint8_t>& bytes = device.mutableBytes();
    const std::size_t volumeOffset = volumeStart * 512;
    std::vector<std::size_t> offsets;
    for (std::size_t at = 64; at < 120; ++at) offsets.push_back(volumeOffset + at);
    const std::size_t rootOffset = volumeOffset + tree->clusterOffset(tree->root());
    for (std::size_t at = 0; at < 12 * 32; ++at) offsets.push_back(rootOffset + at);
    for (const std::size_t offset : offsets) {
        const std::uint8_t original = bytes[offset];
        for (const std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            bytes[offset] = value;
            const ExfatListingResult listing = ExfatDirectoryReader::read(device, layoutAt(volumeStart), engineOptions);
            if (const auto* success = std::get_if<ExfatListingResult::Success>(&listing.value)) {
                for (const ExfatEntry& entry : success->entries) {
                    EXPECT_GE(entry.sizeBytes, 0) << "byte " << offset << " = " << int{value};
                    EXPECT_FALSE(entry.name.empty() || entry.name == ".." || entry.name.find('/') != std::string::npos);
                }
            }
            (void)ExfatDirectoryReader::readFreeSpace(device, layoutAt(volumeStart), engineOptions);
        }
        bytes[offset] = original;
    }
}

TEST_F(ExfatDirectoryReaderTree, PassesDeviceFailuresOnUnchanged) {
    MemoryBlockDevice device = tree->device();
    EXPECT_EQ(render(ExfatDirectoryReader::read(device, layoutAt(device.sectorCount()), engineOptions)),
              "readFailed(error: outOfBounds(startSector: 18432, sectorCount: 1, deviceSectorCount: 18432))");
    device.close();
    const ExfatFreeSpaceResult closed =
        ExfatDirectoryReader::readFreeSpace(device, layoutAt(volumeStart), engineOptions);
    EXPECT_EQ(render(closed), "readFailed(error: closed(operation: \"read\"))");
}

TEST_F(ExfatDirectoryReaderTree, RefusesAVolumeReadThroughALargerSectorSize) {
    MemoryBlockDevice device = tree->device(4096);
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
