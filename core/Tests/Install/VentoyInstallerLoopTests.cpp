#include "Install/VentoyInstaller.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include "Block/RawDiskBlockDevice.hpp"
#include "Install/VentoyInstallFixture.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t diskSectors = 300000;

struct LoopCase {
    const char* name;
    PartitionStyle style;
    DriveFilesystem filesystem;
    bool alignTo4K;
    std::int64_t reserveBytes;
};
void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.name; }

class VentoyInstallerOnLoopDevice : public ::testing::TestWithParam<LoopCase> {};

// Through the raw device (O_DIRECT), then judged by the checkers on the loop device and
// by our own readers; an update over the result must leave the same drive.
TEST_P(VentoyInstallerOnLoopDevice, InstallsAndUpdatesAVentoyDrive) {
    MARLOWICK_REQUIRE_ROOT();
    const LoopCase& c = GetParam();
    std::string skip;
    const auto fixture = test::VentoyFixture::make(skip);
    if (!fixture) GTEST_SKIP() << skip;
    const auto backing = fixture->dir.file("disk.img");
    test::createSparseFile(backing, diskSectors * 512);
    auto loop = test::LoopDevice::attach(backing);
    if (!loop) GTEST_SKIP() << "no loop device free";
    auto opened = RawDiskBlockDevice::open(loop->path(), 512, diskSectors, 1024, BlockAccessMode::readWrite);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<RawDiskBlockDevice>>(opened))
        << render(std::get<BlockError>(opened));
    auto& device = *std::get<std::unique_ptr<RawDiskBlockDevice>>(opened);

    const auto installer = test::defaultInstaller();
    const VentoyInstallOptions options(c.filesystem, c.style, c.reserveBytes, c.alignTo4K);
    const auto installed = test::completedReport(
        installer.install(device, fixture->assets, fixture->manifest(), 0x0BADF00D, options, {}, {}));
    EXPECT_TRUE(installed.overallSuccess()) << render(installed);
    const VentoyLayout layout = std::get<VentoyLayoutCalculator::Success>(
                                    VentoyLayoutCalculator::calculate(diskSectors, 512, c.style, c.reserveBytes / 512,
                                                                      c.alignTo4K))
                                    .layout;
    test::expectVentoyDrive(device, layout, *fixture, c.filesystem, loop->path(), backing);

    const auto updated = test::completedReport(installer.update(device, fixture->assets, fixture->manifest(), {}, {}));
    EXPECT_TRUE(updated.overallSuccess()) << render(updated);
    test::expectVentoyDrive(device, layout, *fixture, c.filesystem, loop->path(), backing);
    device.close();
}

INSTANTIATE_TEST_SUITE_P(
    Loop, VentoyInstallerOnLoopDevice,
    ::testing::Values(LoopCase{"mbrExfatAligned", PartitionStyle::mbr, DriveFilesystem::exfat, true, 0},
                      LoopCase{"gptFat32UnalignedWithReserve", PartitionStyle::gpt, DriveFilesystem::fat32, false,
                               1048576}),
    test::CaseName{});

}  // namespace
}  // namespace marlowick
