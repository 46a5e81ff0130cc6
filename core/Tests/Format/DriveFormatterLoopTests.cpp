// The formatter through RawDiskBlockDevice on a loop device over a sparse file: the
// table judged by sfdisk and sgdisk on the device, the exFAT volume through a second
// loop device at the partition's offset, and wipefs after a GPT drive is wiped to MBR.

#include <gtest/gtest.h>

#include "Block/RawDiskBlockDevice.hpp"
#include "Format/FormattedDriveChecks.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t diskBytes = std::int64_t{30000000} * 512;
constexpr std::int64_t partitionOffsetSectors = 2048;

class DriveFormatterLoop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"sfdisk", "sgdisk", "fsck.exfat", "blkid", "wipefs"}) MARLOWICK_REQUIRE_TOOL(tool);
        MARLOWICK_REQUIRE_ROOT();
        test::createSparseFile(backing, diskBytes);
    }

    // Formats the drive behind `loop` through the raw device and closes it again.
    void format(const test::LoopDevice& loop, PartitionStyle style, int sectorSize) {
        RawDiskBlockDevice::OpenResult opened =
            RawDiskBlockDevice::open(loop.path(), sectorSize, diskBytes / sectorSize,
                                     RawDiskBlockDevice::defaultMaxChunkSectors, BlockAccessMode::readWrite);
        if (const auto* error = std::get_if<BlockError>(&opened)) FAIL() << render(*error);
        auto& device = *std::get<std::unique_ptr<RawDiskBlockDevice>>(opened);
        test::formatDrive(device, style);
        test::expectGapZero(device, style);
        device.close();
    }

    // fsck.exfat and blkid on the partition, reached through a loop device at its offset.
    void checkVolume(PartitionStyle style, int sectorSize) {
        const std::int64_t sectors = diskBytes / sectorSize;
        const std::int64_t partitionSectors = sectors - partitionOffsetSectors - (style == PartitionStyle::gpt ? 33 : 0);
        const auto volume = test::LoopDevice::attach(backing, sectorSize, partitionOffsetSectors * sectorSize,
                                                     partitionSectors * sectorSize);
        ASSERT_TRUE(volume) << "no free loop device for the volume";
        test::expectCleanVolume(volume->path());
    }

    test::TempDir dir;
    std::filesystem::path backing = dir.file("disk.img");
};

TEST_F(DriveFormatterLoop, GptDrivePassesTheCheckers) {
    const auto loop = test::LoopDevice::attach(backing);
    if (!loop) GTEST_SKIP() << "no free loop device";
    format(*loop, PartitionStyle::gpt, 512);
    test::expectSinglePartitionTable(loop->path(), PartitionStyle::gpt, diskBytes / 512);
    checkVolume(PartitionStyle::gpt, 512);
}

TEST_F(DriveFormatterLoop, GptWipedToMbrKeepsOnlyTheMbr) {
    const auto loop = test::LoopDevice::attach(backing);
    if (!loop) GTEST_SKIP() << "no free loop device";
    format(*loop, PartitionStyle::gpt, 512);
    format(*loop, PartitionStyle::mbr, 512);
    test::expectOnlyDosSignature(loop->path());
    test::expectSinglePartitionTable(loop->path(), PartitionStyle::mbr, diskBytes / 512);
    checkVolume(PartitionStyle::mbr, 512);
}

// On 4096-byte sectors the MBR fills the start of sector 0 and counts 4096-byte sectors.
TEST_F(DriveFormatterLoop, MbrOn4096ByteSectorsPassesTheCheckers) {
    const auto loop = test::LoopDevice::attach(backing, 4096);
    if (!loop) GTEST_SKIP() << "no free loop device";
    format(*loop, PartitionStyle::mbr, 4096);
    test::expectSinglePartitionTable(loop->path(), PartitionStyle::mbr, diskBytes / 4096, 4096);
    test::expectOnlyDosSignature(loop->path());
    checkVolume(PartitionStyle::mbr, 4096);
}

}  // namespace
}  // namespace marlowick
