#include "Block/BlockSignatureProbe.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::TempDir;

// A FAT file system labelled MARLOWICK with the volume id 1234-ABCD, in a file.
std::filesystem::path labelledFatImage(const TempDir& folder) {
    const auto image = folder.file("fat.img");
    test::createSparseFile(image, 8 << 20);
    const auto made = test::runCommand("mkfs.vfat -n MARLOWICK -i 1234ABCD '" + image.string() + "'");
    EXPECT_EQ(made.exitCode, 0) << made.output;
    return image;
}

TEST(BlockSignatureProbe, ReadsTypeLabelAndUuidWithLibblkid) {
    MARLOWICK_REQUIRE_TOOL("mkfs.vfat");
    const TempDir folder;
    const BlockSignature fat{"vfat", "MARLOWICK", "1234-ABCD"};
    EXPECT_EQ(probeBlockSignature(labelledFatImage(folder), std::nullopt, folder.file("udev")), fat);
    // Read, but nothing on it: an answer with no type, not a doubt.
    test::createSparseFile(folder.file("blank.img"), 1 << 20);
    EXPECT_EQ(probeBlockSignature(folder.file("blank.img"), std::nullopt, folder.file("udev")), BlockSignature{});
}

TEST(BlockSignatureProbe, WhereTheDeviceCannotBeOpenedUdevsRecordAnswers) {
    const TempDir udev;
    std::ofstream(udev.file("b8:17")) << "E:ID_FS_TYPE=zfs_member\nE:ID_FS_LABEL=rpool\nE:ID_FS_UUID=1570981937\n";
    std::ofstream(udev.file("b8:16")) << "E:ID_PART_TABLE_TYPE=gpt\n";
    const auto missing = udev.file("no-such-node").string();
    const BlockSignature member{"zfs_member", "rpool", "1570981937"};
    EXPECT_EQ(probeBlockSignature(missing, DeviceNumber{8, 17}, udev.path()), member);
    EXPECT_EQ(probeBlockSignature(missing, DeviceNumber{8, 16}, udev.path()), BlockSignature{});
    EXPECT_EQ(probeBlockSignature(missing, DeviceNumber{8, 32}, udev.path()), std::nullopt);
    EXPECT_EQ(probeBlockSignature(missing, std::nullopt, udev.path()), std::nullopt);
}

TEST(BlockSignatureProbe, TheSystemsProbeFindsALoopDeviceByItsKernelName) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("mkfs.vfat");
    const TempDir folder;
    const auto loop = test::LoopDevice::attach(labelledFatImage(folder));
    if (!loop) GTEST_SKIP() << "no free loop device";
    const BlockSignature fat{"vfat", "MARLOWICK", "1234-ABCD"};
    EXPECT_EQ(blkidSignatureProbe(SystemRoots{})(loop->name()), fat);
    EXPECT_EQ(blkidSignatureProbe(SystemRoots{})("../sda"), std::nullopt);
}

}  // namespace
}  // namespace marlowick
