// Volumes from DefaultExfatFormatter, checked by the file system's own tools: fsck.exfat
// must find them clean and dump.exfat must read back the geometry we meant to write.

#include <gtest/gtest.h>

#include <sstream>

#include "Block/MemoryBlockDevice.hpp"
#include "Bytes/LittleEndian.hpp"
#include "Exfat/DefaultExfatFormatter.hpp"
#include "Exfat/ExfatStructures.hpp"
#include "Support/SparseFileBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

std::string quotedPath(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

test::CommandOutput fsck(const std::filesystem::path& image) {
    return test::runCommand("fsck.exfat -n -v " + quotedPath(image));
}

// The value after the colon of dump.exfat's line that starts with `key`, blanks trimmed.
std::string dumpField(const std::string& dump, const std::string& key) {
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(line.find(':') + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r") + 1);
        return value;
    }
    return "<no " + key + ">";
}

ExfatLayout formatOrFail(BlockDevice& device, const ExfatFormatParams& params) {
    const ExfatFormatResult result = DefaultExfatFormatter().format(device, params);
    const auto* success = std::get_if<ExfatFormatResult::Success>(&result.value);
    if (success == nullptr) {
        ADD_FAILURE() << render(result);
        return {};
    }
    return success->layout;
}

struct VolumeCase {
    const char* name;
    int sectorSize;
    std::int64_t sectors;
    std::optional<std::int64_t> sectorsPerCluster;
};

class DefaultExfatFormatterVolume : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(DefaultExfatFormatterVolume, PassesFsck) {
    MARLOWICK_REQUIRE_TOOL("fsck.exfat");
    const VolumeCase& c = GetParam();
    test::TempDir dir;
    auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("volume.img"), c.sectorSize, c.sectors);
    auto& device = *deviceOwner;
    const ExfatLayout layout = formatOrFail(device, {0, c.sectors, "MARLOWICK", c.sectorsPerCluster, 0x2468ACE0});
    ASSERT_GT(layout.clusterCount, 0);
    const test::CommandOutput checked = fsck(device.path());
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find(": clean. directories 1, files 0"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("label: MARLOWICK"), std::string::npos) << checked.output;
}

INSTANTIATE_TEST_SUITE_P(
    Format, DefaultExfatFormatterVolume,
    ::testing::Values(VolumeCase{"smallest512", 512, 64, std::nullopt},
                      VolumeCase{"smallest4096", 4096, 29, std::nullopt},
                      VolumeCase{"sectors1000", 512, 1000, std::nullopt},
                      VolumeCase{"oneGiB1024", 1024, 1048576, std::nullopt},
                      VolumeCase{"oneGiB2048", 2048, 524288, std::nullopt},
                      VolumeCase{"oneGiB4096", 4096, 262144, std::nullopt},
                      VolumeCase{"twoGiB512", 512, 4194304, std::nullopt},
                      VolumeCase{"eightGiB4096", 4096, 2097152, std::nullopt},
                      VolumeCase{"sixtyFourGiB512", 512, 134217728, std::nullopt},
                      VolumeCase{"largestDefault512", 512, 4294967063, std::nullopt},
                      VolumeCase{"twoTiB4096", 4096, 536870912, 64},
                      VolumeCase{"fourTiB512KiBClusters", 512, std::int64_t{1} << 33, 1024},
                      VolumeCase{"oneSectorClusters", 512, 65536, 1},
                      VolumeCase{"largestClusters", 512, 4194304, 65536}),
    test::CaseName{});

TEST(DefaultExfatFormatterChecked, SmallestVolumesAreTheSmallestAccepted) {
    for (const auto& [sectorSize, sectors] : {std::pair{512, 64}, std::pair{4096, 29}}) {
        MemoryBlockDevice device(sectors, sectorSize);
        const ExfatFormatResult result = DefaultExfatFormatter().format(device, {0, sectors - 1, {}, {}, 1});
        EXPECT_TRUE(std::holds_alternative<ExfatFormatResult::Invalid>(result.value)) << render(result);
    }
}

TEST(DefaultExfatFormatterChecked, DumpReadsTheWorkedGeometryLabelAndSerial) {
    MARLOWICK_REQUIRE_TOOL("dump.exfat");
    test::TempDir dir;
    auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("volume.img"), 512, 134217728);
    auto& device = *deviceOwner;
    formatOrFail(device, {0, 134217728, "Été 2024", std::nullopt, 0xCAFEF00D});
    const test::CommandOutput dump = test::runCommand("dump.exfat " + quotedPath(device.path()));
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    EXPECT_EQ(dumpField(dump.output, "Volume Length(sectors)"), "134217728");
    EXPECT_EQ(dumpField(dump.output, "FAT Offset(sector offset)"), "24");
    EXPECT_EQ(dumpField(dump.output, "FAT Length(sectors)"), "4097");
    EXPECT_EQ(dumpField(dump.output, "Cluster Heap Offset (sector offset)"), "4352");
    EXPECT_EQ(dumpField(dump.output, "Cluster Count"), "524271");
    EXPECT_EQ(dumpField(dump.output, "Root Cluster (cluster offset)"), "4");
    EXPECT_EQ(dumpField(dump.output, "Volume Serial"), "0xcafef00d");
    EXPECT_EQ(dumpField(dump.output, "Sector Size Bits"), "9");
    EXPECT_EQ(dumpField(dump.output, "Sector per Cluster bits"), "8");

    const test::CommandOutput checked = fsck(device.path());
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("label: Été 2024\n"), std::string::npos) << checked.output;
}

TEST(DefaultExfatFormatterChecked, VolumeInsideAPartitionIsCleanOnItsOwn) {
    MARLOWICK_REQUIRE_TOOL("fsck.exfat");
    test::TempDir dir;
    const std::int64_t offset = 2048;
    const std::int64_t length = 131072;
    auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("disk.img"), 512, offset + length + 100);
    auto& device = *deviceOwner;
    const ExfatLayout layout = formatOrFail(device, {offset, length, "DATA", std::nullopt, 7});
    EXPECT_EQ(layout.partitionOffsetSectors, offset);
    const auto volume = dir.file("volume.img");
    const test::CommandOutput copied = test::runCommand(
        "dd if=" + quotedPath(device.path()) + " of=" + quotedPath(volume) + " bs=1M iflag=skip_bytes,count_bytes" +
        " skip=" + std::to_string(offset * 512) + " count=" + std::to_string(length * 512) + " conv=sparse status=none");
    ASSERT_EQ(copied.exitCode, 0) << copied.output;
    const test::CommandOutput checked = fsck(volume);
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    // Nothing before the volume or after it was touched.
    const auto before = std::get<BlockReadSuccess>(device.readSectors(0, offset)).data;
    const auto after = std::get<BlockReadSuccess>(device.readSectors(offset + length, 100)).data;
    EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(DefaultExfatFormatterChecked, BlkidReadsTypeLabelAndSerial) {
    MARLOWICK_REQUIRE_TOOL("blkid");
    test::TempDir dir;
    auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("volume.img"), 512, 2097152);
    auto& device = *deviceOwner;
    formatOrFail(device, {0, 2097152, "USB Stick", std::nullopt, 0xCAFEF00D});
    const test::CommandOutput probed = test::runCommand("blkid -p -o export " + quotedPath(device.path()));
    ASSERT_EQ(probed.exitCode, 0) << probed.output;
    const std::string lines = "\n" + probed.output + "\n";
    for (const char* expected : {"\nTYPE=exfat\n", "\nLABEL=USB\\ Stick\n", "\nUUID=CAFE-F00D\n"}) {
        EXPECT_NE(lines.find(expected), std::string::npos) << expected << " in " << probed.output;
    }
}

TEST(DefaultExfatFormatterChecked, FourKibSectorVolumeIsCleanOnALoopDevice) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("fsck.exfat");
    test::TempDir dir;
    const std::int64_t sectors = 262144;  // 1 GiB
    {
        auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("volume.img"), 4096, sectors);
        auto& device = *deviceOwner;
        formatOrFail(device, {0, sectors, "LOOP4K", std::nullopt, 0x00C0FFEE});
    }
    const auto loop = test::LoopDevice::attach(dir.file("volume.img"), 4096);
    if (!loop) GTEST_SKIP() << "no free loop device";
    const test::CommandOutput checked = fsck(loop->path());
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("sector size:  4.00 KB"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("label: LOOP4K"), std::string::npos) << checked.output;
}

// Adds a file entry set after the label in the root directory of a formatted volume.
void addRootEntries(BlockDevice& device, const ExfatLayout& layout, const std::vector<std::uint8_t>& entries) {
    const std::int64_t rootSector = layout.clusterToVolumeSector(layout.rootFirstCluster);
    auto root = std::get<BlockReadSuccess>(device.readSectors(rootSector, layout.sectorsPerCluster)).data;
    std::copy(entries.begin(), entries.end(), root.begin() + 3 * ExfatStructures::dirEntrySize);
    ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(device.writeSectors(rootSector, root)));
}

TEST(DefaultExfatFormatterChecked, FsckAcceptsNameHashesUpcasedThroughTheVolumeTable) {
    MARLOWICK_REQUIRE_TOOL("fsck.exfat");
    test::TempDir dir;
    auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("volume.img"), 512, 2097152);
    auto& device = *deviceOwner;
    const ExfatLayout layout = formatOrFail(device, {0, 2097152, std::nullopt, std::nullopt, 1});
    const auto stamp = ExfatTimestamp::fromUnixSeconds(1704164645, 60);
    // An empty file: no cluster, no data.
    auto set = ExfatStructures::buildFileEntrySet("straße.txt", 0, 0, false, stamp);
    addRootEntries(device, layout, set);
    test::CommandOutput checked = fsck(device.path());
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("directories 1, files 1"), std::string::npos) << checked.output;

    // Full case mapping would hash "STRASSE.TXT": the checker calls that hash wrong.
    const auto identity = ExfatUpcaseTable::expand({});
    LittleEndian::write16(set, 32 + ExfatStructures::DirEntry::nameHashOffset,
                          ExfatStructures::nameHash(u"STRASSE.TXT", identity));
    LittleEndian::write16(set, ExfatStructures::DirEntry::setChecksumOffset, ExfatStructures::entrySetChecksum(set));
    addRootEntries(device, layout, set);
    checked = fsck(device.path());
    EXPECT_NE(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("name hash"), std::string::npos) << checked.output;
}

TEST(DefaultExfatFormatterChecked, FsckVerifiesTheUpcaseTableChecksum) {
    MARLOWICK_REQUIRE_TOOL("fsck.exfat");
    test::TempDir dir;
    auto deviceOwner = test::SparseFileBlockDevice::create(dir.file("volume.img"), 512, 65536);
    auto& device = *deviceOwner;
    const ExfatLayout layout = formatOrFail(device, {0, 65536, std::nullopt, std::nullopt, 1});
    // Change the checksum the root directory records; fsck reports the table's own checksum.
    const std::int64_t rootSector = layout.clusterToVolumeSector(layout.rootFirstCluster);
    auto root = std::get<BlockReadSuccess>(device.readSectors(rootSector, layout.sectorsPerCluster)).data;
    root[32 + ExfatStructures::DirEntry::tableChecksumOffset] ^= 0x01;
    ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(device.writeSectors(rootSector, root)));
    const test::CommandOutput checked = fsck(device.path());
    EXPECT_NE(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("corrupted upcase table 0xe619d30d (expected: 0xe619d30c)"), std::string::npos)
        << checked.output;
}

}  // namespace
}  // namespace marlowick
