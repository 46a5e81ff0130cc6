#include "Layout/DriveFilesystem.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

struct FilesystemRow {
    const char* name;
    DriveFilesystem filesystem;
    std::string_view raw;
    std::string_view display;
    int mbrType;
    int maxCluster;
    std::optional<std::int64_t> maxFile;
    bool plainFormat;
};

class DriveFilesystemFacts : public ::testing::TestWithParam<FilesystemRow> {};

TEST_P(DriveFilesystemFacts, AreTheOnesTheFormattersAndScreensUse) {
    const FilesystemRow& row = GetParam();
    EXPECT_EQ(rawValue(row.filesystem), row.raw);
    EXPECT_EQ(displayName(row.filesystem), row.display);
    EXPECT_EQ(mbrPartitionType(row.filesystem), row.mbrType);
    EXPECT_EQ(maxClusterBytes(row.filesystem), row.maxCluster);
    EXPECT_EQ(maxFileBytes(row.filesystem), row.maxFile);
    EXPECT_EQ(offeredForPlainFormat(row.filesystem), row.plainFormat);
    EXPECT_EQ(driveFilesystemFromRaw(row.raw), row.filesystem);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, DriveFilesystemFacts,
    ::testing::Values(
        FilesystemRow{"exfat", DriveFilesystem::exfat, "exfat", "exFAT", 0x07, 33554432, std::nullopt, true},
        FilesystemRow{"fat32", DriveFilesystem::fat32, "fat32", "FAT32", 0x0C, 32768, 4294967295, false}),
    test::CaseName{});

TEST(DriveFilesystem, ListsBothInOrderAndReadsOnlyTheExactRawTexts) {
    EXPECT_EQ(allDriveFilesystems, (std::array{DriveFilesystem::exfat, DriveFilesystem::fat32}));
    for (const std::string_view text : {"FAT32", "exFAT", "", " exfat", "exfat ", "ntfs", "fat"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(driveFilesystemFromRaw(text), std::nullopt);
    }
}

}  // namespace
}  // namespace marlowick
