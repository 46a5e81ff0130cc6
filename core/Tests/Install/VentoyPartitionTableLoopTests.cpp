// The Ventoy tables written through RawDiskBlockDevice onto a loop device over a sparse
// 32 GB file, read back by our verifier and judged by sfdisk and sgdisk on the device.

#include <gtest/gtest.h>

#include <numeric>

#include "Block/RawDiskBlockDevice.hpp"
#include "Install/VentoyPartitionTable.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Support/CheckerRun.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int32_t signature = 0x1234'5678;
constexpr std::int64_t diskBytes = std::int64_t{62521344} * 512;

std::vector<std::uint8_t> bootCode() {
    std::vector<std::uint8_t> code(440);
    std::iota(code.begin(), code.end(), std::uint8_t{0});
    return code;
}

test::CommandOutput check(const std::string& command, const std::string& device) {
    return test::runChecker(command, device, "<dev>");
}

// What sfdisk -d prints for our MBR on the loop device.
std::string expectedMbrDump(int sectorSize, std::int64_t part1Count, std::int64_t part2Start, const char* part1Type) {
    const auto padded = [](std::int64_t number) {
        const std::string digits = std::to_string(number);
        return std::string(12 - digits.size(), ' ') + digits;
    };
    return "label: dos\n"
           "label-id: 0x12345678\n"
           "device: <dev>\n"
           "unit: sectors\n"
           "sector-size: " + std::to_string(sectorSize) + "\n"
           "\n"
           "<dev>p1 : start=" + padded(2048) + ", size=" + padded(part1Count) + ", type=" + part1Type + ", bootable\n"
           "<dev>p2 : start=" + padded(part2Start) + ", size=" + padded(65536) + ", type=ef\n";
}

class VentoyPartitionTableLoop : public ::testing::Test {
protected:
    // Writes and verifies the tables of `style` through the raw device; empty when skipped.
    std::optional<test::LoopDevice> writeTables(PartitionStyle style, int sectorSize, std::uint8_t part1Type) {
        test::createSparseFile(backing, diskBytes);
        auto loop = test::LoopDevice::attach(backing, sectorSize);
        if (!loop) return std::nullopt;
        const std::int64_t sectors = diskBytes / sectorSize;
        const VentoyLayout layout =
            std::get<VentoyLayoutCalculator::Success>(VentoyLayoutCalculator::calculate(sectors, sectorSize, style, 0, false))
                .layout;
        RawDiskBlockDevice::OpenResult opened = RawDiskBlockDevice::open(
            loop->path(), sectorSize, sectors, RawDiskBlockDevice::defaultMaxChunkSectors, BlockAccessMode::readWrite);
        if (const auto* error = std::get_if<BlockError>(&opened)) {
            ADD_FAILURE() << render(*error);
            return loop;
        }
        auto& device = *std::get<std::unique_ptr<RawDiskBlockDevice>>(opened);
        std::vector<std::string> notes;
        EXPECT_TRUE(VentoyPartitionTable::writePartitionTable(device, layout, signature, "Ventoy", bootCode(), part1Type,
                                                              notes));
        EXPECT_EQ(device.flush(), BlockFlushResult{BlockFlushSuccess{}});
        EXPECT_TRUE(VentoyPartitionTable::verifyPartitionTable(device, layout, signature, part1Type, notes));
        EXPECT_TRUE(notes.empty()) << notes.front();
        device.close();
        return loop;
    }

    test::TempDir dir;
    std::filesystem::path backing = dir.file("disk.img");
};

TEST_F(VentoyPartitionTableLoop, MbrReadsBackInSfdisk) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    const auto loop = writeTables(PartitionStyle::mbr, 512, 0x07);
    if (!loop) GTEST_SKIP() << "no free loop device";
    const test::CommandOutput dump = check("sfdisk -d", loop->path());
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.output, expectedMbrDump(512, 62453760, 62455808, "7"));
}

TEST_F(VentoyPartitionTableLoop, GptPassesSgdisk) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sgdisk");
    const auto loop = writeTables(PartitionStyle::gpt, 512, 0x07);
    if (!loop) GTEST_SKIP() << "no free loop device";
    const test::CommandOutput verify = check("sgdisk -v", loop->path());
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
    EXPECT_NE(verify.output.find("No problems found."), std::string::npos) << verify.output;
    const test::CommandOutput print = check("sgdisk -p", loop->path());
    EXPECT_NE(print.output.find("   1            2048        62455774   29.8 GiB    0700  Ventoy\n"), std::string::npos)
        << print.output;
    EXPECT_NE(print.output.find("   2        62455775        62521310   32.0 MiB    EF00  VTOYEFI\n"), std::string::npos)
        << print.output;
}

// On 4096-byte sectors the MBR is the first 512 bytes of sector 0 and counts 4096-byte sectors.
TEST_F(VentoyPartitionTableLoop, MbrOn4096ByteSectorsReadsBackInSfdisk) {
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    const auto loop = writeTables(PartitionStyle::mbr, 4096, 0x0C);
    if (!loop) GTEST_SKIP() << "no free loop device";
    const test::CommandOutput dump = check("sfdisk -d", loop->path());
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.output, expectedMbrDump(4096, 7747584, 7749632, "c"));
}

}  // namespace
}  // namespace marlowick
