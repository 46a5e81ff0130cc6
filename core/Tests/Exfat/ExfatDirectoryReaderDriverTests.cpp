// The reader against volumes written by a real exFAT driver (the kernel's, or exfat-fuse):
// mkfs.exfat on a loop device at sector 2048 of an image, files put on it through a
// mount, then the image read back sector by sector.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "Exfat/ExfatDirectoryReader.hpp"
#include "Exfat/ExfatTestVolume.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t volumeStartBytes = 1024 * 1024;
constexpr std::int64_t volumeBytes = 64 * 1024 * 1024;
const ExfatReadOptions listingOptions{8, 10000, true, 8192};

void writeText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

// Puts a tree on the mounted volume and returns what the reader should list.
std::vector<ExfatEntry> populate(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::vector<ExfatEntry> expected;
    auto folder = [&](const std::string& path) {
        fs::create_directory(root / path);
        expected.push_back({path, fs::path(path).filename().string(), 0, true});
    };
    auto file = [&](const std::string& path, const std::string& text) {
        writeText(root / path, text);
        expected.push_back({path, fs::path(path).filename().string(), static_cast<std::int64_t>(text.size()), false});
    };
    // Empty files take no clusters, so the folder grows into one contiguous run: a
    // driver then marks it NoFatChain and leaves its FAT entries zero.
    folder("Big");
    for (int i = 0; i < 150; ++i) {
        std::string name = "Big/image-" + std::to_string(1000 + i) + ".iso";
        file(name, "");
    }
    fs::resize_file(root / "Big/image-1000.iso", 3 * 1024 * 1024 + 1);
    expected[1].sizeBytes = 3 * 1024 * 1024 + 1;
    file("\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9 \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.iso", "hello\n");
    file(std::string(251, 'n') + ".img", "long name");
    file("notes.txt", std::string(100, 'x'));
    folder("Empty");
    std::string path;
    for (const char* level : {"a", "b", "c", "d", "e", "f", "g", "h", "i"}) {
        path += path.empty() ? level : std::string("/") + level;
        folder(path);
    }
    file("a/b/c/d/e/f/g/h/level8.vhd", "12345");
    // Level 9 lies below maxDepth 8: its folder is listed, its contents are not.
    writeText(root / "a/b/c/d/e/f/g/h/i/level9.iso", "hidden");
    return expected;
}

std::vector<ExfatEntry> sortedEntries(const ExfatListingResult& result) {
    const auto* success = std::get_if<ExfatListingResult::Success>(&result.value);
    if (success == nullptr) {
        ADD_FAILURE() << render(result);
        return {};
    }
    std::vector<ExfatEntry> entries = success->entries;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    return entries;
}

// GeneralSecondaryFlags of the root's entry set with this ASCII name, as the driver left them.
std::optional<std::uint8_t> rootEntryFlags(BlockDevice& device, std::int64_t startSector, const std::string& name) {
    const int sectorSize = device.sectorSize();
    const std::vector<std::uint8_t> boot = std::get<BlockReadSuccess>(device.readSectors(startSector, 1)).data;
    const test::VolumeMap map = test::mapVolume(boot);
    const std::int64_t sector =
        startSector + static_cast<std::int64_t>(map.clusterOffset(map.rootCluster)) / sectorSize;
    const std::vector<std::uint8_t> root =
        std::get<BlockReadSuccess>(device.readSectors(sector, map.clusterBytes / sectorSize)).data;
    for (std::size_t at = 0; at + 96 <= root.size() && root[at] != 0; at += 32) {
        if (root[at] != 0x85 || root[at + 35] != name.size()) continue;
        std::string found;
        for (std::size_t i = 0; i < name.size() && i < 15; ++i) found += static_cast<char>(root[at + 66 + 2 * i]);
        if (found == name) return root[at + 33];
    }
    return std::nullopt;
}

// The number after "label:" on dump.exfat's statistics lines.
std::optional<std::int64_t> dumpedNumber(const std::string& output, const std::string& label) {
    const std::size_t at = output.find(label + ":");
    if (at == std::string::npos) return std::nullopt;
    return std::stoll(output.substr(at + label.size() + 1));
}

// Free and total bytes of the cluster heap as dump.exfat counts them.
std::optional<ExfatFreeSpaceResult> dumpExfatUsage(const std::string& device) {
    const test::CommandOutput dump = test::runCommand("dump.exfat '" + device + "'");
    const std::optional<std::int64_t> clusterBytes = dumpedNumber(dump.output, "Cluster size");
    const std::optional<std::int64_t> totalClusters = dumpedNumber(dump.output, "Total Clusters");
    const std::optional<std::int64_t> freeClusters = dumpedNumber(dump.output, "Free Clusters");
    if (dump.exitCode != 0 || !clusterBytes || !totalClusters || !freeClusters) {
        ADD_FAILURE() << dump.output;
        return std::nullopt;
    }
    return ExfatFreeSpaceResult{
        ExfatFreeSpaceResult::Success{*clusterBytes * *freeClusters, *clusterBytes * *totalClusters}};
}

class ExfatDirectoryReaderDriver : public ::testing::TestWithParam<int> {};

TEST_P(ExfatDirectoryReaderDriver, ListsWhatTheDriverWrote) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    MARLOWICK_REQUIRE_TOOL("dump.exfat");
    const std::optional<std::string> mountType = test::exfatMountType();
    if (!mountType) GTEST_SKIP() << "no exFAT driver here: neither the kernel's exfat nor exfat-fuse";
    const int sectorSize = GetParam();
    test::TempDir dir;
    const std::filesystem::path image = dir.file("drive.img");
    test::createSparseFile(image, volumeStartBytes + volumeBytes);

    std::vector<ExfatEntry> expected;
    std::optional<ExfatFreeSpaceResult> dumpedUsage;
    {
        std::optional<test::LoopDevice> loop =
            test::LoopDevice::attach(image, sectorSize, volumeStartBytes, volumeBytes);
        if (!loop) GTEST_SKIP() << "no free loop device";
        const test::CommandOutput made = test::runCommand("mkfs.exfat -c 4K " + loop->path());
        ASSERT_EQ(made.exitCode, 0) << made.output;
        {
            std::string whyNot;
            std::optional<test::MountedVolume> mounted =
                test::MountedVolume::mount(*mountType, loop->path(), dir.file("mnt"), whyNot);
            if (!mounted) GTEST_SKIP() << "cannot mount " << *mountType << ": " << whyNot;
            expected = populate(mounted->path());
        }
        const test::CommandOutput checked = test::runCommand("fsck.exfat -n " + loop->path());
        EXPECT_EQ(checked.exitCode, 0) << checked.output;
        dumpedUsage = dumpExfatUsage(loop->path());
    }
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.path < b.path; });

    test::FileBlockDevice device(image, sectorSize);
    VentoyLayout layout;
    layout.part1StartSector = volumeStartBytes / sectorSize;
    EXPECT_EQ(rootEntryFlags(device, layout.part1StartSector, "Big"), std::optional<std::uint8_t>(0x03))
        << "the driver wrote Big with a FAT chain; the NoFatChain path is no longer covered here";

    EXPECT_EQ(sortedEntries(ExfatDirectoryReader::read(device, layout, listingOptions)), expected);

    std::vector<ExfatEntry> images;
    std::copy_if(expected.begin(), expected.end(), std::back_inserter(images), [](const ExfatEntry& entry) {
        return !entry.isDirectory && entry.name.find(".txt") == std::string::npos;
    });
    const ExfatListingResult listedImages = ExfatDirectoryReader::readImages(
        device, layout, ExfatDirectoryReader::bootableImageExtensions, listingOptions);
    EXPECT_EQ(sortedEntries(listedImages), images);

    ASSERT_TRUE(dumpedUsage.has_value());
    EXPECT_EQ(ExfatDirectoryReader::readFreeSpace(device, layout, listingOptions), *dumpedUsage);
}

INSTANTIATE_TEST_SUITE_P(Exfat, ExfatDirectoryReaderDriver, ::testing::Values(512, 4096),
                         [](const auto& info) { return "sectors" + std::to_string(info.param); });

}  // namespace
}  // namespace marlowick
