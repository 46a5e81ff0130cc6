#include "Install/VentoyInstaller.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>

#include "Bytes/Sha256.hpp"
#include "Install/VentoyInstallFixture.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Support/SparseFileBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int32_t signature = 0x1234ABCD;

struct InstallCase {
    const char* name;
    PartitionStyle style;
    DriveFilesystem filesystem;
    bool alignTo4K;
    std::int64_t reserveBytes;
    std::int64_t sectorCount;
    std::optional<std::int64_t> clusterBytes;
    std::optional<std::string> label;
};
void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }

VentoyLayout expectedLayout(const InstallCase& c) {
    const auto result = VentoyLayoutCalculator::calculate(c.sectorCount, 512, c.style, c.reserveBytes / 512, c.alignTo4K);
    return std::get<VentoyLayoutCalculator::Success>(result).layout;
}

// The stages in the order they were first reported, repeats folded.
struct StageLog {
    std::vector<InstallStage> stages;
    InstallProgressHandler handler() {
        return [this](InstallStage stage, const std::optional<ByteProgress>&) {
            if (stages.empty() || stages.back() != stage) stages.push_back(stage);
        };
    }
};

std::string hashRange(BlockDevice& device, std::int64_t start, std::int64_t count) {
    Sha256::Hasher hasher;
    for (std::int64_t at = start; at < start + count; at += 8192) {
        hasher.update(test::readAll(device, at, std::min<std::int64_t>(8192, start + count - at)));
    }
    return hasher.finalHex();
}

class VentoyInstallerInstalls : public ::testing::TestWithParam<InstallCase> {};

TEST_P(VentoyInstallerInstalls, TheLayoutEveryCheckerAndOurReadersAgreeOn) {
    const InstallCase& c = GetParam();
    std::string skip;
    const auto fixture = test::VentoyFixture::make(skip);
    if (!fixture) GTEST_SKIP() << skip;
    const auto device = test::SparseFileBlockDevice::create(fixture->dir.file("disk.img"), 512, c.sectorCount);
    const VentoyInstallOptions options(c.filesystem, c.style, c.reserveBytes, c.alignTo4K, std::nullopt, c.clusterBytes,
                                       c.label);
    StageLog log;
    const auto report = test::completedReport(test::defaultInstaller().install(
        *device, fixture->assets, fixture->manifest(), signature, options, log.handler(), [] { return false; }));

    const VentoyLayout layout = expectedLayout(c);
    EXPECT_TRUE(report.overallSuccess()) << render(report);
    EXPECT_EQ(report.notes, std::vector<std::string>{});
    EXPECT_EQ(report.part1StartSector, layout.part1StartSector);
    EXPECT_EQ(report.part1SectorCount, layout.part1SectorCount);
    EXPECT_EQ(report.part2StartSector, layout.part2StartSector);
    EXPECT_EQ(report.volumeLabel, c.label.value_or("MARLOWICK"));
    EXPECT_EQ(report.diskSignature, signature);
    EXPECT_TRUE(report.formatPerformed);
    if (c.clusterBytes) {
        EXPECT_EQ(report.clusterSizeBytes, c.clusterBytes);
    }
    EXPECT_GT(report.clusterCount.value_or(0), 0);
    EXPECT_EQ(log.stages, (std::vector<InstallStage>{InstallStage::layout, InstallStage::writeCore,
                                                     InstallStage::verifyCore, InstallStage::formatPart1,
                                                     InstallStage::writeVentoyDisk, InstallStage::verifyVentoyDisk,
                                                     InstallStage::writeMbr, InstallStage::flush,
                                                     InstallStage::verifyMbr}));
    test::expectVentoyDrive(*device, layout, *fixture, c.filesystem, device->path(), device->path());
}

INSTANTIATE_TEST_SUITE_P(
    SparseImage, VentoyInstallerInstalls,
    ::testing::Values(
        InstallCase{"mbrExfatAligned", PartitionStyle::mbr, DriveFilesystem::exfat, true, 0, 300000, {}, {}},
        InstallCase{"mbrFat32UnalignedWithReserve", PartitionStyle::mbr, DriveFilesystem::fat32, false, 1048576,
                    300001, {}, "DATA"},
        InstallCase{"mbrExfatClusterAndUnicodeLabel", PartitionStyle::mbr, DriveFilesystem::exfat, true, 0, 280003,
                    4096, "Dätä Ünïcod"},
        InstallCase{"gptExfatAlignedWithReserve", PartitionStyle::gpt, DriveFilesystem::exfat, true, 4194304, 300007,
                    {}, "Stick"},
        InstallCase{"gptFat32Unaligned", PartitionStyle::gpt, DriveFilesystem::fat32, false, 0, 300003, {}, {}}),
    test::CaseName{});

// A drive that held a GPT keeps its backup at the very end, here inside the reserve an
// MBR install leaves unpartitioned; only the new MBR may remain visible.
TEST(VentoyInstaller, AnMbrInstallOverAGptDriveLeavesOnlyTheMbr) {
    MARLOWICK_REQUIRE_TOOL("wipefs");
    std::string skip;
    const auto fixture = test::VentoyFixture::make(skip);
    if (!fixture) GTEST_SKIP() << skip;
    const auto device = test::SparseFileBlockDevice::create(fixture->dir.file("disk.img"), 512, 200000);
    const auto installer = test::defaultInstaller();
    const auto run = [&](PartitionStyle style) {
        const VentoyInstallOptions options(DriveFilesystem::exfat, style, 1048576);
        return test::completedReport(
            installer.install(*device, fixture->assets, fixture->manifest(), signature, options, {}, {}));
    };
    ASSERT_TRUE(run(PartitionStyle::gpt).overallSuccess());
    ASSERT_NE(test::runCommand("wipefs --noheadings --output TYPE '" + device->path().string() + "'").output.find("gpt"),
              std::string::npos);
    ASSERT_TRUE(run(PartitionStyle::mbr).overallSuccess());
    const auto listed = test::runCommand("wipefs --noheadings --output TYPE '" + device->path().string() + "'");
    EXPECT_EQ(listed.output, "dos\n");
    EXPECT_EQ(test::readAll(*device, device->sectorCount() - 33, 33), std::vector<std::uint8_t>(33 * 512, 0));
}

struct UpdateCase {
    const char* name;
    PartitionStyle style;
    DriveFilesystem filesystem;
    std::int64_t reserveBytes;
};
void PrintTo(const UpdateCase& c, std::ostream* os) { *os << c.name; }

class VentoyInstallerUpdates : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(VentoyInstallerUpdates, RestoresTheBootPartsAndKeepsPartitionOne) {
    const UpdateCase& c = GetParam();
    std::string skip;
    const auto fixture = test::VentoyFixture::make(skip);
    if (!fixture) GTEST_SKIP() << skip;
    const auto device = test::SparseFileBlockDevice::create(fixture->dir.file("disk.img"), 512, 300000);
    const auto installer = test::defaultInstaller();
    const VentoyInstallOptions options(c.filesystem, c.style, c.reserveBytes, true, std::nullopt, std::nullopt, "Keep Me");
    ASSERT_TRUE(test::completedReport(installer.install(*device, fixture->assets, fixture->manifest(), signature,
                                                        options, {}, {}))
                    .overallSuccess());
    const VentoyLayout layout = expectedLayout({c.name, c.style, c.filesystem, true, c.reserveBytes, 300000, {}, {}});
    // Files written to partition 1 since, and a damaged core.img and EFI partition.
    ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(
        device->writeSectors(layout.part1StartSector + 20000, std::vector<std::uint8_t>(64 * 512, 0x5A))));
    ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(
        device->writeSectors(layout.coreStartSector, std::vector<std::uint8_t>(16 * 512, 0xEE))));
    ASSERT_TRUE(std::holds_alternative<BlockWriteSuccess>(
        device->writeSectors(layout.part2StartSector, std::vector<std::uint8_t>(16 * 512, 0xEE))));
    const std::vector<std::uint8_t> sector0 = test::readAll(*device, 0, 1);
    const std::string part1Before = hashRange(*device, layout.part1StartSector, layout.part1SectorCount);

    StageLog log;
    const auto report = test::completedReport(
        installer.update(*device, fixture->assets, fixture->manifest(), log.handler(), [] { return false; }));
    EXPECT_TRUE(report.overallSuccess()) << render(report);
    EXPECT_FALSE(report.formatPerformed);
    EXPECT_EQ(report.formatOk, std::nullopt);
    EXPECT_EQ(report.volumeLabel, "(unchanged)");
    EXPECT_EQ(log.stages, (std::vector<InstallStage>{InstallStage::layout, InstallStage::writeCore,
                                                     InstallStage::verifyCore, InstallStage::writeVentoyDisk,
                                                     InstallStage::verifyVentoyDisk, InstallStage::writeMbr,
                                                     InstallStage::flush, InstallStage::verifyMbr}));
    EXPECT_EQ(hashRange(*device, layout.part1StartSector, layout.part1SectorCount), part1Before);
    const std::vector<std::uint8_t> after = test::readAll(*device, 0, 1);
    if (c.style == PartitionStyle::mbr) {
        // The disk signature and partition 1's type stay.
        EXPECT_EQ(report.diskSignature, signature);
        EXPECT_TRUE(std::equal(after.begin() + 440, after.begin() + 444, sector0.begin() + 440));
        EXPECT_EQ(after[446 + 4], sector0[446 + 4]);
    } else {
        // The name the drive gave partition 1 stays; no placeholder text lands on the disk.
        const auto dump = test::runCommand("sfdisk -d '" + device->path().string() + "'");
        EXPECT_NE(dump.output.find("name=\"Keep Me\""), std::string::npos) << dump.output;
        EXPECT_EQ(dump.output.find("(unchanged)"), std::string::npos) << dump.output;
    }
    test::expectVentoyDrive(*device, layout, *fixture, c.filesystem, device->path(), device->path());
}

INSTANTIATE_TEST_SUITE_P(SparseImage, VentoyInstallerUpdates,
                         ::testing::Values(UpdateCase{"mbrFat32", PartitionStyle::mbr, DriveFilesystem::fat32, 0},
                                           UpdateCase{"gptExfatWithReserve", PartitionStyle::gpt,
                                                      DriveFilesystem::exfat, 2097152}),
                         test::CaseName{});

TEST(VentoyInstaller, UpdateRefusesADriveWithoutTheVentoyLayoutAndWritesNothing) {
    std::string skip;
    const auto fixture = test::VentoyFixture::make(skip);
    if (!fixture) GTEST_SKIP() << skip;
    const auto device = test::SparseFileBlockDevice::create(fixture->dir.file("disk.img"), 512, 200000);
    const auto result = test::defaultInstaller().update(*device, fixture->assets, fixture->manifest(), {}, {});
    const auto* aborted = std::get_if<VentoyInstallResult::Aborted>(&result.value);
    ASSERT_TRUE(aborted) << render(result);
    EXPECT_EQ(aborted->reason.rfind("non-destructive update needs an existing Ventoy layout; drive is not Ventoy (", 0),
              0U)
        << aborted->reason;
    EXPECT_EQ(std::filesystem::file_size(device->path()), 200000U * 512);
    EXPECT_EQ(test::readAll(*device, 0, 2048), std::vector<std::uint8_t>(2048 * 512, 0));
}

}  // namespace
}  // namespace marlowick
