// Volumes written by DefaultFat32Formatter, judged by outside FAT checkers: fsck.fat
// (dosfstools) on the volume alone, minfo and mdir (mtools) on the whole image at the
// volume's offset. Images are sparse files, so a 2 TiB volume costs only its metadata.
#include "Fat32/DefaultFat32Formatter.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "Fat32/Fat32Structures.hpp"
#include "Support/SparseFileBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::uint32_t defaultSerial = 0x2A5F00D1;

std::string shellQuoted(const std::string& text) { return "'" + text + "'"; }

std::string hex8(std::uint32_t value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = digits[value & 0xF];
    return out;
}

// fsck.fat -n exits 0 on some findings ("differences between boot sector and its backup"),
// so a clean verdict is its banner and its summary line with nothing in between.
bool fsckFoundNothing(const test::CommandOutput& fsck) {
    return fsck.exitCode == 0 && std::count(fsck.output.begin(), fsck.output.end(), '\n') == 2;
}

// A sparse image holding one freshly formatted volume.
struct FormattedImage {
    test::TempDir dir;
    std::filesystem::path image = dir.file("disk.img");
    std::unique_ptr<test::SparseFileBlockDevice> device;
    Fat32Layout layout;

    // Formats a fresh image; the device stays open for reading back and for damage.
    ::testing::AssertionResult format(int sectorSize, std::int64_t deviceSectors, const Fat32FormatParams& params) {
        device = test::SparseFileBlockDevice::create(image, sectorSize, deviceSectors);
        const Fat32FormatResult result =
            DefaultFat32Formatter(DefaultFat32Formatter::defaultWriteChunkSectors).format(*device, params);
        const auto* success = std::get_if<Fat32FormatResult::Success>(&result.value);
        if (success == nullptr) return ::testing::AssertionFailure() << render(result);
        layout = success->layout;
        return ::testing::AssertionSuccess();
    }

    // Runs fsck.fat -n on a copy of just the volume: it takes no offset.
    test::CommandOutput fsck() const {
        const auto volume = dir.file("volume.img");
        const std::int64_t sectorBytes = layout.bytesPerSector;
        test::copySparseSlice(image, layout.partitionOffsetSectors * sectorBytes, layout.volumeLengthSectors * sectorBytes,
                              volume);
        return test::runCommand("fsck.fat -n " + shellQuoted(volume.string()));
    }

    test::CommandOutput mtools(const std::string& tool) const {
        const std::int64_t offsetBytes = layout.partitionOffsetSectors * layout.bytesPerSector;
        const std::string at = image.string() + "@@" + std::to_string(offsetBytes);
        return test::runCommand("MTOOLS_SKIP_CHECK=1 " + tool + " -i " + shellQuoted(at) + " ::");
    }
};

struct VolumeCase {
    const char* name;
    int sectorSize;
    std::int64_t offsetSectors;
    std::int64_t lengthSectors;
    std::optional<std::int64_t> sectorsPerCluster;
    std::optional<std::string> label;
    const char* shownLabel;     // as the tools show it; none for a volume without a label
    std::int64_t clusterCount;  // worked out by hand from the geometry rules
    bool minfoReads;            // minfo's own geometry check asserts on 2 TiB volumes, mkfs.fat's included
};

void PrintTo(const VolumeCase& c, std::ostream* os) { *os << c.name; }

class Fat32VolumeCheck : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(Fat32VolumeCheck, PassesFsckAndShowsLabelSerialAndFreeSpace) {
    MARLOWICK_REQUIRE_TOOL("fsck.fat");
    MARLOWICK_REQUIRE_TOOL("mdir");
    MARLOWICK_REQUIRE_TOOL("minfo");
    const VolumeCase& c = GetParam();
    FormattedImage formatted;
    const Fat32FormatParams params{c.offsetSectors, c.lengthSectors, c.label, c.sectorsPerCluster, defaultSerial};
    ASSERT_TRUE(formatted.format(c.sectorSize, c.offsetSectors + c.lengthSectors + 8, params));
    ASSERT_EQ(formatted.layout.clusterCount, c.clusterCount);
    const std::int64_t clusterBytes = formatted.layout.clusterSizeBytes();
    const Fat32Structures::FreeSpace expectedSpace{(c.clusterCount - 1) * clusterBytes, c.clusterCount * clusterBytes};
    EXPECT_EQ(Fat32Structures::readFreeSpace(*formatted.device, c.offsetSectors), expectedSpace);
    formatted.device->close();

    const test::CommandOutput fsck = formatted.fsck();
    EXPECT_TRUE(fsckFoundNothing(fsck)) << fsck.output;
    // One cluster in use, the root directory, out of exactly the clusters we laid out.
    EXPECT_NE(fsck.output.find(" 1/" + std::to_string(c.clusterCount) + " clusters"), std::string::npos) << fsck.output;

    std::string label = c.shownLabel != nullptr ? c.shownLabel : "NO NAME";
    label.resize(11, ' ');
    const test::CommandOutput mdir = formatted.mtools("mdir");
    EXPECT_EQ(mdir.exitCode, 0) << mdir.output;
    EXPECT_NE(mdir.output.find(c.shownLabel != nullptr ? " Volume in drive : is " + label
                                                       : " Volume in drive : has no label"),
              std::string::npos)
        << mdir.output;
    EXPECT_NE(mdir.output.find("Volume Serial Number is 2A5F-00D1"), std::string::npos) << mdir.output;

    if (!c.minfoReads) return;
    const test::CommandOutput minfo = formatted.mtools("minfo");
    EXPECT_EQ(minfo.exitCode, 0) << minfo.output;
    for (const std::string& line :
         {"serial number: " + hex8(defaultSerial), "disk label=\"" + label + "\"", std::string("disk type=\"FAT32   \""),
          "hidden sectors: " + std::to_string(c.offsetSectors), "free clusters=" + std::to_string(c.clusterCount - 1),
          "sector size: " + std::to_string(c.sectorSize) + " bytes"}) {
        EXPECT_NE(minfo.output.find(line), std::string::npos) << line << "\n" << minfo.output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fat32, Fat32VolumeCheck,
    ::testing::Values(
        VolumeCase{"smallest512", 512, 2048, 66599, std::nullopt, "tiny", "TINY", 65525, true},
        VolumeCase{"smallest4096", 4096, 256, 65687, std::nullopt, std::nullopt, nullptr, 65525, true},
        VolumeCase{"oneGiB512", 512, 2048, 2097152, std::nullopt, "", nullptr, 261628, true},
        VolumeCase{"fourGiB1024", 1024, 1024, 4194304, std::nullopt, "Data 2024", "DATA 2024", 1046520, true},
        VolumeCase{"sixteenGiB2048", 2048, 512, 8388608, std::nullopt, "my usb:1", "MY USB_1", 2095096, true},
        VolumeCase{"sixtyFourGiB512", 512, 2048, 134217728, std::nullopt, "  lead", "LEAD", 2096639, true},
        VolumeCase{"thirtyTwoGiB4096", 4096, 256, 8388608, std::nullopt, "a.b", "A_B", 2096120, true},
        VolumeCase{"thirtyTwoGiB4096Cluster32K", 4096, 256, 8388608, 8, "   ", nullptr, 1048316, true},
        VolumeCase{"largest512", 512, 2048, 4294967295, std::nullopt, "stra\u00dfe", "STRASSE", 67092478, false},
        VolumeCase{"twoTiB4096", 4096, 256, 536870912, std::nullopt, "Ventoy", "VENTOY", 67092476, false}),
    test::CaseName{});

// The checker must see the faults a formatter can make, or its clean verdict above says nothing.
TEST(Fat32VolumeDamage, IsSeenByFsck) {
    MARLOWICK_REQUIRE_TOOL("fsck.fat");
    struct Damage {
        const char* name;
        std::int64_t volumeSector;  // in the smallest 512-byte volume: reserved 32, FATs of 521
        std::size_t offset;
        std::uint8_t value;
    };
    const Damage damages[] = {
        {"staleFatEntry", 32 + 3, 40, 0x07},        // a FAT #1 sector left unzeroed
        {"fatsDiffer", 32 + 521, 12, 0x01},         // FAT #2 is not FAT #1
        {"backupBootDiffers", 6, 13, 0x02},
        {"freeCountWrong", 1, 488, 0x00},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        FormattedImage formatted;
        ASSERT_TRUE(formatted.format(512, 2048 + 66599, {2048, 66599, "tiny", std::nullopt, defaultSerial}));
        auto& device = formatted.device;
        const std::int64_t sector = 2048 + damage.volumeSector;
        auto bytes = std::get<BlockReadSuccess>(device->readSectors(sector, 1)).data;
        bytes[damage.offset] = damage.value;
        ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(device->writeSectors(sector, bytes)));
        device->close();
        const test::CommandOutput fsck = formatted.fsck();
        EXPECT_FALSE(fsckFoundNothing(fsck)) << fsck.output;
    }
}

}  // namespace
}  // namespace marlowick
