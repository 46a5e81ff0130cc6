// Drives the formatter wiped, as sparse image files, judged by tools that share no code
// with us: sfdisk and sgdisk read the table, fsck.exfat and blkid the volume, wipefs
// lists every signature left on the drive.

#include <gtest/gtest.h>

#include "Format/FormattedDriveChecks.hpp"
#include "Support/SparseFileBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t sectors = 30000000;

void requireCheckers() {
    for (const char* tool : {"sfdisk", "sgdisk", "fsck.exfat", "blkid", "wipefs"}) MARLOWICK_REQUIRE_TOOL(tool);
}

class DriveFormatterImage : public ::testing::TestWithParam<PartitionStyle> {};

TEST_P(DriveFormatterImage, PassesTheCheckers) {
    requireCheckers();
    if (::testing::Test::IsSkipped()) return;
    const PartitionStyle style = GetParam();
    test::TempDir dir;
    auto device = test::SparseFileBlockDevice::create(dir.file("disk.img"), 512, sectors);
    test::formatDrive(*device, style);
    test::expectGapZero(*device, style);
    test::expectSinglePartitionTable(device->path().string(), style, sectors);
    const std::int64_t partitionSectors = style == PartitionStyle::mbr ? sectors - 2048 : sectors - 2081;
    test::copySparseSlice(device->path(), 2048 * 512, partitionSectors * 512, dir.file("volume.img"));
    test::expectCleanVolume(dir.file("volume.img"));
}

INSTANTIATE_TEST_SUITE_P(Format, DriveFormatterImage, ::testing::Values(PartitionStyle::mbr, PartitionStyle::gpt),
                         [](const auto& info) { return std::string(rawValue(info.param)); });

TEST(DriveFormatterImage, GptWipedToMbrKeepsOnlyTheMbr) {
    requireCheckers();
    if (::testing::Test::IsSkipped()) return;
    test::TempDir dir;
    auto device = test::SparseFileBlockDevice::create(dir.file("disk.img"), 512, sectors);
    test::formatDrive(*device, PartitionStyle::gpt);
    test::formatDrive(*device, PartitionStyle::mbr);
    test::expectOnlyDosSignature(device->path().string());
    test::expectSinglePartitionTable(device->path().string(), PartitionStyle::mbr, sectors);
}

}  // namespace
}  // namespace marlowick
