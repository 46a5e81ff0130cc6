// The detector through RawDiskBlockDevice, read-only, on loop devices of 512- and
// 4096-byte sectors whose tables sfdisk wrote.

#include <gtest/gtest.h>

#include "Block/RawDiskBlockDevice.hpp"
#include "Detect/VentoyDriveDetector.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t sectors = 70035;

constexpr const char* mbrScript =
    "label: dos\\nstart=2048, size=2416, type=7, bootable\\nstart=4464, size=65536, type=ef\\n";
constexpr const char* gptScript =
    "label: gpt\\nstart=2048, size=2416, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\\n"
    "start=4464, size=65536, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\\n";

struct LoopCase {
    const char* name;
    int sectorSize;
    const char* script;
    VentoyDriveStatus status;
};
void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.name; }

VentoyDriveStatus ventoy(int sectorSize, PartitionStyle style, std::int64_t coreStart) {
    const VentoyLayout layout{sectors, sectorSize, 2048, 2416, 4464, 65536, style, coreStart};
    return {VentoyDriveStatus::Ventoy{layout}};
}

const LoopCase loopCases[] = {
    {"mbr512", 512, mbrScript, ventoy(512, PartitionStyle::mbr, 1)},
    {"gpt512", 512, gptScript, ventoy(512, PartitionStyle::gpt, 34)},
    {"mbr4096", 4096, mbrScript, ventoy(4096, PartitionStyle::mbr, 1)},
    // GPT is only read on 512-byte sectors; the protective MBR alone is no Ventoy table.
    {"gpt4096", 4096, gptScript, {VentoyDriveStatus::NotVentoy{"partition table is not a Ventoy layout"}}},
};

class VentoyDriveDetectorLoop : public ::testing::TestWithParam<LoopCase> {};

TEST_P(VentoyDriveDetectorLoop, DetectsWhatSfdiskWrote) {
    const LoopCase& c = GetParam();
    MARLOWICK_REQUIRE_ROOT();
    MARLOWICK_REQUIRE_TOOL("sfdisk");
    test::TempDir dir;
    const auto backing = dir.file("disk.img");
    test::createSparseFile(backing, sectors * c.sectorSize);
    auto loop = test::LoopDevice::attach(backing, c.sectorSize);
    if (!loop) GTEST_SKIP() << "no free loop device";
    const test::CommandOutput wrote = test::runCommand(std::string("printf '") + c.script +
                                                       "' | sfdisk --quiet --no-reread '" + loop->path() + "' 2>&1");
    ASSERT_EQ(wrote.exitCode, 0) << wrote.output;

    RawDiskBlockDevice::OpenResult opened = RawDiskBlockDevice::open(
        loop->path(), c.sectorSize, sectors, RawDiskBlockDevice::defaultMaxChunkSectors, BlockAccessMode::readOnly);
    if (const auto* error = std::get_if<BlockError>(&opened)) FAIL() << render(*error);
    auto& device = *std::get<std::unique_ptr<RawDiskBlockDevice>>(opened);
    EXPECT_EQ(VentoyDriveDetector::detect(device), VentoyDetectionResult{VentoyDetectionResult::Detected{c.status}});
    device.close();
}

INSTANTIATE_TEST_SUITE_P(Detect, VentoyDriveDetectorLoop, ::testing::ValuesIn(loopCases), test::CaseName{});

}  // namespace
}  // namespace marlowick
