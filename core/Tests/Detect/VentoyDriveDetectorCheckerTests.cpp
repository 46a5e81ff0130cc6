// Tables written by sfdisk and sgdisk, not by our own builders, read back by the detector.

#include <gtest/gtest.h>

#include <algorithm>

#include "Block/MemoryBlockDevice.hpp"
#include "Detect/VentoyDriveDetector.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

struct ToolTable {
    const char* name;
    const char* tool;
    std::int64_t sectors;
    std::string command;  // run with the image path appended
    VentoyDriveStatus status;
};
void PrintTo(const ToolTable& c, std::ostream* os) { *os << c.name; }

VentoyDriveStatus ventoy(std::int64_t sectors, std::int64_t part2Start, PartitionStyle style) {
    const std::int64_t core = style == PartitionStyle::mbr ? VentoyLayout::mbrCoreStart : VentoyLayout::gptCoreStart;
    const VentoyLayout layout{sectors, 512, 2048, part2Start - 2048, part2Start, 65536, style, core};
    return {VentoyDriveStatus::Ventoy{layout}};
}

std::string sfdiskScript(const std::string& lines) { return "printf '" + lines + "' | sfdisk --quiet --no-reread"; }

const ToolTable toolTables[] = {
    {"sfdiskVentoyExfat", "sfdisk", 70001,
     sfdiskScript("label: dos\\nstart=2048, size=2416, type=7, bootable\\nstart=4464, size=65536, type=ef\\n"),
     ventoy(70001, 4464, PartitionStyle::mbr)},
    {"sfdiskVentoyFat32UnalignedWithReserve", "sfdisk", 80001,
     sfdiskScript("label: dos\\nstart=2048, size=10417, type=c\\nstart=12465, size=65536, type=ef\\n"),
     ventoy(80001, 12465, PartitionStyle::mbr)},
    {"sfdiskOrdinaryDrive", "sfdisk", 70001, sfdiskScript("label: dos\\nstart=2048, type=83\\n"),
     {VentoyDriveStatus::NotVentoy{"partition table is not a Ventoy layout"}}},
    {"sgdiskVentoy", "sgdisk", 70035, "sgdisk --clear -a 8 -n 1:2048:4463 -t 1:0700 -n 2:4464:69999 -t 2:ef00",
     ventoy(70035, 4464, PartitionStyle::gpt)},
    {"sgdiskVentoyLinuxData", "sgdisk", 70035,
     "sgdisk --clear -a 8 -n 1:2048:4463 -t 1:8300 -n 2:4464:69999 -t 2:ef00",
     {VentoyDriveStatus::IncompatibleVentoy{
         "Ventoy GPT EFI partition present but the layout differs from the one Marlowick writes "
         "(prepared by another tool/version); in-place update is unsafe"}}},
};

class VentoyDriveDetectorOnToolTables : public ::testing::TestWithParam<ToolTable> {};

TEST_P(VentoyDriveDetectorOnToolTables, Classifies) {
    const ToolTable& c = GetParam();
    MARLOWICK_REQUIRE_TOOL(c.tool);
    test::TempDir dir;
    const auto image = dir.file("drive.img");
    test::createSparseFile(image, c.sectors * 512);
    const test::CommandOutput run = test::runCommand(c.command + " '" + image.string() + "' 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;

    MemoryBlockDevice device(c.sectors, 512);
    const std::vector<std::uint8_t> written = test::readFile(image);
    ASSERT_EQ(written.size(), device.bytes().size());
    std::copy(written.begin(), written.end(), device.mutableBytes().begin());
    EXPECT_EQ(VentoyDriveDetector::detect(device), VentoyDetectionResult{VentoyDetectionResult::Detected{c.status}});
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyDriveDetectorOnToolTables, ::testing::ValuesIn(toolTables), test::CaseName{});

}  // namespace
}  // namespace marlowick
