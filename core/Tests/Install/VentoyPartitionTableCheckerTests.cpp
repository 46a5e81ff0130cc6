// The tables we write, judged by outside tools that share no code with us: sfdisk
// reads the MBR and GPT back, sgdisk verifies every GPT structure and its CRCs. The
// drive is a 32 GB geometry kept sparse, dumped into a sparse file.

#include <gtest/gtest.h>

#include <numeric>

#include "Install/VentoyPartitionTable.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Support/CheckerRun.hpp"
#include "Support/SparseBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int32_t signature = 0x1234'5678;

std::vector<std::uint8_t> bootCode() {
    std::vector<std::uint8_t> code(440);
    std::iota(code.begin(), code.end(), std::uint8_t{0});
    return code;
}

// Writes the Ventoy tables of the layout and dumps the medium into `dir`.
std::filesystem::path writtenImage(const test::TempDir& dir, const VentoyLayout& layout, std::uint8_t part1Type) {
    test::SparseBlockDevice device(layout.diskSectorCount, 512);
    std::vector<std::string> notes;
    EXPECT_TRUE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "Ventoy", bootCode(), part1Type, notes));
    EXPECT_TRUE(notes.empty()) << notes.front();
    const std::filesystem::path image = dir.file("disk.img");
    device.dumpTo(image);
    return image;
}

VentoyLayout layoutFor(std::int64_t sectors, PartitionStyle style, std::int64_t reserve = 0, bool align = false) {
    const VentoyLayoutCalculator::Result result = VentoyLayoutCalculator::calculate(sectors, 512, style, reserve, align);
    return std::get<VentoyLayoutCalculator::Success>(result).layout;
}

test::CommandOutput check(const std::string& command, const std::filesystem::path& image) {
    return test::runChecker(command, image.string(), "<img>");
}

TEST(VentoyPartitionTableCheckers, SfdiskReadsTheMbrBack) {
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    test::TempDir dir;
    const std::filesystem::path image = writtenImage(dir, layoutFor(62521344, PartitionStyle::mbr), 0x07);
    const test::CommandOutput dump = check("sfdisk -d", image);
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.output,
              "label: dos\n"
              "label-id: 0x12345678\n"
              "device: <img>\n"
              "unit: sectors\n"
              "sector-size: 512\n"
              "\n"
              "<img>1 : start=        2048, size=    62453760, type=7, bootable\n"
              "<img>2 : start=    62455808, size=       65536, type=ef\n");
    const test::CommandOutput verify = check("sfdisk --verify", image);
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
}

TEST(VentoyPartitionTableCheckers, SfdiskReadsTheGptBack) {
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    test::TempDir dir;
    const std::filesystem::path image = writtenImage(dir, layoutFor(62521344, PartitionStyle::gpt), 0x07);
    const test::CommandOutput dump = check("sfdisk -d", image);
    EXPECT_EQ(dump.exitCode, 0);
    // The GUIDs follow from the disk signature alone.
    EXPECT_EQ(dump.output,
              "label: gpt\n"
              "label-id: F5BD7A50-3599-075F-BB58-364702CC9682\n"
              "device: <img>\n"
              "unit: sectors\n"
              "first-lba: 34\n"
              "last-lba: 62521310\n"
              "sector-size: 512\n"
              "\n"
              "<img>1 : start=        2048, size=    62453727, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, "
              "uuid=01A7DCD6-1699-B1AE-4084-6AEDBD1032CF, name=\"Ventoy\"\n"
              "<img>2 : start=    62455775, size=       65536, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B, "
              "uuid=27A2A553-8143-4428-39FB-433DD31478F2, name=\"VTOYEFI\"\n");
}

struct GptRow {
    const char* name;
    std::int64_t sectors;
    std::int64_t reserve;
    bool align;
};

class VentoyPartitionTableSgdisk : public ::testing::TestWithParam<GptRow> {};

TEST_P(VentoyPartitionTableSgdisk, FindsNoProblems) {
    MARLOWICK_REQUIRE_TOOL("sgdisk");
    const GptRow& row = GetParam();
    const VentoyLayout layout = layoutFor(row.sectors, PartitionStyle::gpt, row.reserve, row.align);
    test::TempDir dir;
    const std::filesystem::path image = writtenImage(dir, layout, 0x07);

    const test::CommandOutput verify = check("sgdisk -v", image);
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
    EXPECT_NE(verify.output.find("No problems found."), std::string::npos) << verify.output;

    const test::CommandOutput print = check("sgdisk -p", image);
    EXPECT_EQ(print.exitCode, 0) << print.output;
    const std::size_t line = print.output.find("\n   2 ");
    ASSERT_NE(line, std::string::npos) << print.output;
    const std::string row2 = print.output.substr(line + 1, print.output.find('\n', line + 1) - line - 1);
    EXPECT_NE(row2.find(" " + std::to_string(layout.part2StartSector) + " "), std::string::npos) << row2;
    EXPECT_NE(row2.find(" " + std::to_string(layout.part2EndSector()) + " "), std::string::npos) << row2;
    EXPECT_NE(row2.find("EF00  VTOYEFI"), std::string::npos) << row2;
    EXPECT_NE(print.output.find("0700  Ventoy\n"), std::string::npos) << print.output;
}

INSTANTIATE_TEST_SUITE_P(Disks, VentoyPartitionTableSgdisk,
                         ::testing::Values(GptRow{"disk32GB", 62521344, 0, false},
                                           GptRow{"disk32GBAlignedWithReserve", 62521344, 2048, true},
                                           GptRow{"smallest", 67618, 0, false},
                                           GptRow{"past2To32", 8589934592, 0, true}),
                         test::CaseName{});

}  // namespace
}  // namespace marlowick
