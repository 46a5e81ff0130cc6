#include "Install/VentoyInstaller.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>

#include "Block/BlockErrorText.hpp"
#include "Install/VentoyInstallFixture.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Support/SparseFileBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

constexpr std::int32_t signature = 0x1234ABCD;
constexpr std::int64_t diskSectors = 200000;

// Passes everything to a device underneath, but fails the n-th write or read that starts
// at a given sector, or the n-th flush, and counts the writes that reached the device.
class FaultyDevice final : public BlockDevice {
public:
    enum class Operation { none, write, read, flush, flushNotHonoured };

    FaultyDevice(BlockDevice& inner, Operation operation, std::int64_t sector, int occurrence)
        : inner(inner), operation(operation), sector(sector), occurrence(occurrence) {}

    [[nodiscard]] int sectorSize() const override { return inner.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return inner.sectorCount(); }
    BlockReadResult readSectors(std::int64_t start, std::int64_t count) override {
        if (hit(Operation::read, start)) return BlockError{BlockError::DeviceFailure{"read", "injected"}};
        return inner.readSectors(start, count);
    }
    BlockWriteResult writeSectors(std::int64_t start, const std::vector<std::uint8_t>& data) override {
        if (hit(Operation::write, start)) return BlockError{BlockError::DeviceFailure{"write", "injected"}};
        ++writes;
        return inner.writeSectors(start, data);
    }
    BlockFlushResult flush() override {
        if (operation == Operation::flushNotHonoured) return BlockFlushNotHonoured{"no cache ioctl"};
        if (hit(Operation::flush, sector)) return BlockError{BlockError::DeviceFailure{"flush", "injected"}};
        return inner.flush();
    }
    void close() override { inner.close(); }

    int writes = 0;

private:
    bool hit(Operation op, std::int64_t start) {
        return op == operation && start == sector && ++seen == occurrence;
    }

    BlockDevice& inner;
    Operation operation;
    std::int64_t sector;
    int occurrence;
    int seen = 0;
};

struct Drive {
    std::unique_ptr<test::VentoyFixture> fixture;
    std::unique_ptr<test::SparseFileBlockDevice> device;
    VentoyLayout layout;
};

Drive makeDrive(std::int64_t sectors = diskSectors, int sectorSize = 512) {
    std::string skip;
    Drive drive{test::VentoyFixture::make(skip), nullptr, {}};
    if (!drive.fixture) return drive;
    drive.device = test::SparseFileBlockDevice::create(drive.fixture->dir.file("disk.img"), sectorSize, sectors);
    const auto calculated = VentoyLayoutCalculator::calculate(sectors, sectorSize, PartitionStyle::mbr, 0, true);
    if (const auto* success = std::get_if<VentoyLayoutCalculator::Success>(&calculated)) drive.layout = success->layout;
    return drive;
}

std::vector<std::uint8_t> flipped(std::vector<std::uint8_t> bytes, std::size_t at) {
    bytes.at(at) ^= 0x01;
    return bytes;
}

struct RefusalCase {
    const char* name;
    std::function<VentoyInstallResult(const VentoyInstaller&, BlockDevice&, const Drive&)> run;
    std::string expectedPrefix;
    std::int64_t sectorCount = diskSectors;
    int sectorSize = 512;
};

// Each of these would have been found only after core.img or the table reached the drive.
TEST(VentoyInstaller, RefusesBadFilesAndChoicesTheFormatterWouldRejectBeforeWritingAnything) {
    const auto install = [](VentoyInstallOptions options, std::optional<VentoyAsset> damaged = std::nullopt) {
        return [=](const VentoyInstaller& installer, BlockDevice& device, const Drive& drive) {
            const auto manifest = drive.fixture->manifest();
            if (damaged) {
                const auto& original = drive.fixture->bytes(*damaged);
                drive.fixture->replace(*damaged, flipped(original, original.size() / 2));
            }
            return installer.install(device, drive.fixture->assets, manifest, signature, options, {}, {});
        };
    };
    const auto writeAndVerify = [](DriveFilesystem filesystem, std::string label, std::optional<std::int64_t> cluster) {
        return [=](const VentoyInstaller& installer, BlockDevice& device, const Drive& drive) {
            return installer.writeAndVerify(device, drive.layout, drive.fixture->assets, drive.fixture->manifest(),
                                            signature, true, label, filesystem, cluster, {}, {});
        };
    };
    const VentoyInstallOptions exfat;
    const VentoyInstallOptions gpt(DriveFilesystem::exfat, PartitionStyle::gpt);
    // GPT leaves core.img 2014 sectors; a tail that is not zero cannot be dropped.
    const auto coreTailNotEmpty = [&](const VentoyInstaller& installer, BlockDevice& device, const Drive& drive) {
        std::vector<std::uint8_t> core = drive.fixture->coreImg;
        core.back() = 0x01;
        drive.fixture->replace(VentoyAsset::coreImg, core);
        return installer.install(device, drive.fixture->assets, drive.fixture->manifest(), signature, gpt, {}, {});
    };
    const std::vector<RefusalCase> cases{
        {"diskTooSmall", install(exfat), "disk too small: 67000 < 67626 sectors", 67000},
        {"diskTooSmallForTheReserve", install(VentoyInstallOptions(DriveFilesystem::exfat, PartitionStyle::mbr, 1048576)),
         "disk too small: 68000 < 69674 sectors", 68000},
        {"diskTooLargeForMbr", install(exfat), "disk too large for 32-bit MBR: 4294967297 sectors", 4294967297},
        {"gptOn4KSectorsWithA512ByteBootImg", install(gpt), "boot.img size 512 is not a multiple of sector size 4096",
         100000, 4096},
        {"coreTailNotEmptyOnGpt", coreTailNotEmpty,
         "core.img is 2047 sectors, only 2014 fit before partition 1, and the dropped tail is not empty"},
        {"bootImgSwapped", install(exfat, VentoyAsset::bootImg),
         "boot.img does not match the release manifest's SHA-256 "},
        {"coreImgCorrupted", install(exfat, VentoyAsset::coreImg),
         "core.img does not match the release manifest's SHA-256 "},
        {"ventoyDiskImgCorrupted", install(exfat, VentoyAsset::ventoyDiskImg),
         "ventoy.disk.img does not match the release manifest's SHA-256 "},
        {"exfatLabelOf12Units", writeAndVerify(DriveFilesystem::exfat, "ABCDEFGHIJKL", std::nullopt),
         "exFAT format rejected: volumeLabelTooLong(length: 12)"},
        {"fat32LabelOf12Characters", writeAndVerify(DriveFilesystem::fat32, "ABCDEFGHIJKL", std::nullopt),
         "FAT32 format rejected: volumeLabelTooLong(length: 12)"},
        {"exfatClusterBelowSector", writeAndVerify(DriveFilesystem::exfat, "DATA", 256),
         "exFAT format rejected: invalidSectorsPerCluster("},
        {"fat32ClusterBelowSector", writeAndVerify(DriveFilesystem::fat32, "DATA", 256),
         "FAT32 format rejected: invalidSectorsPerCluster("},
        {"fat32VolumeTooSmall", install(VentoyInstallOptions(DriveFilesystem::fat32, PartitionStyle::mbr, 0, true,
                                                             std::nullopt, 4096)),
         "FAT32 format rejected: volumeTooSmall("},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Drive drive = makeDrive(c.sectorCount, c.sectorSize);
        if (!drive.fixture) GTEST_SKIP() << "needs mkfs.fat and mcopy";
        FaultyDevice device(*drive.device, FaultyDevice::Operation::none, 0, 0);
        const VentoyInstallResult result = c.run(test::defaultInstaller(), device, drive);
        const auto* aborted = std::get_if<VentoyInstallResult::Aborted>(&result.value);
        ASSERT_TRUE(aborted) << render(result);
        EXPECT_EQ(aborted->reason.rfind(c.expectedPrefix, 0), 0U) << aborted->reason;
        EXPECT_EQ(device.writes, 0);
    }
}

TEST(VentoyInstaller, UpdateRefusesADriveWhoseTableItCannotRead) {
    const Drive drive = makeDrive();
    if (!drive.fixture) GTEST_SKIP() << "needs mkfs.fat and mcopy";
    FaultyDevice device(*drive.device, FaultyDevice::Operation::read, 0, 1);
    const auto result = test::defaultInstaller().update(device, drive.fixture->assets, drive.fixture->manifest(), {}, {});
    const std::string expected =
        "Marlowick couldn't read this drive's partition table to confirm what it was updating, so nothing was "
        "changed. " + userMessage(BlockError{BlockError::DeviceFailure{"read", "injected"}});
    EXPECT_EQ(result, (VentoyInstallResult{VentoyInstallResult::Aborted{expected}}));
    EXPECT_EQ(device.writes, 0);
}

// 2^32 sectors with 512-byte clusters: the FAT and bitmap would exceed the formatter's
// in-memory cap. The sparse image shows no allocated block afterwards.
TEST(VentoyInstaller, RefusesAnExfatGeometryOverTheFormattersCapBeforeWriting) {
    const Drive drive = makeDrive(4294967296);
    if (!drive.fixture) GTEST_SKIP() << "needs mkfs.fat and mcopy";
    FaultyDevice device(*drive.device, FaultyDevice::Operation::none, 0, 0);
    const VentoyInstallOptions options(DriveFilesystem::exfat, PartitionStyle::mbr, 0, true, std::nullopt, 512);
    const auto result = test::defaultInstaller().install(device, drive.fixture->assets, drive.fixture->manifest(),
                                                         signature, options, {}, {});
    const auto* aborted = std::get_if<VentoyInstallResult::Aborted>(&result.value);
    ASSERT_TRUE(aborted) << render(result);
    EXPECT_EQ(aborted->reason.rfind("exFAT format rejected: geometryTooLargeToFormat(", 0), 0U) << aborted->reason;
    EXPECT_EQ(device.writes, 0);
}

struct CancelCase {
    const char* name;
    std::optional<InstallStage> trigger;  // none: cancelled from the start
    bool whenStageComplete;               // wait for the stage's last byte
    int pollsAllowed;                     // polls that still answer "go on" after the trigger
    InstallStage expectedStage;
};
void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }

class VentoyInstallerCancels : public ::testing::TestWithParam<CancelCase> {};

TEST_P(VentoyInstallerCancels, AtTheStageItWasAskedAndLeavesSectorZeroAlone) {
    const CancelCase& c = GetParam();
    const Drive drive = makeDrive();
    if (!drive.fixture) GTEST_SKIP() << "needs mkfs.fat and mcopy";
    bool triggered = !c.trigger;
    int polls = 0;
    const auto onProgress = [&](InstallStage stage, const std::optional<ByteProgress>& progress) {
        const bool complete = progress && progress->currentBytes == progress->totalBytes;
        if (c.trigger == stage && (!c.whenStageComplete || complete)) triggered = true;
    };
    const auto isCancelled = [&] { return triggered && polls++ >= c.pollsAllowed; };
    const auto result = test::defaultInstaller(256).install(*drive.device, drive.fixture->assets,
                                                            drive.fixture->manifest(), signature,
                                                            VentoyInstallOptions{}, onProgress, isCancelled);
    const auto report = test::completedReport(result);
    EXPECT_EQ(report.cancelledAtStage, c.expectedStage) << render(report);
    EXPECT_FALSE(report.overallSuccess());
    EXPECT_EQ(report.notes, std::vector<std::string>{});
    EXPECT_EQ(report.mbrWriteOk, std::nullopt);
    EXPECT_EQ(test::readAll(*drive.device, 0, 1), std::vector<std::uint8_t>(512, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Install, VentoyInstallerCancels,
    ::testing::Values(CancelCase{"fromTheStart", std::nullopt, false, 0, InstallStage::writeCore},
                      CancelCase{"duringCoreWrite", InstallStage::writeCore, false, 0, InstallStage::writeCore},
                      CancelCase{"duringCoreReadBack", InstallStage::verifyCore, false, 0, InstallStage::verifyCore},
                      CancelCase{"beforeBlocklistPatch", InstallStage::verifyCore, true, 0, InstallStage::verifyCore},
                      CancelCase{"beforeFormat", InstallStage::verifyCore, true, 1, InstallStage::formatPart1},
                      CancelCase{"duringVentoyDiskWrite", InstallStage::writeVentoyDisk, false, 0,
                                 InstallStage::writeVentoyDisk},
                      CancelCase{"duringVentoyDiskReadBack", InstallStage::verifyVentoyDisk, false, 0,
                                 InstallStage::verifyVentoyDisk},
                      CancelCase{"beforeBootCode", InstallStage::verifyVentoyDisk, true, 0, InstallStage::writeMbr}),
    test::CaseName{});

struct FailureCase {
    const char* name;
    FaultyDevice::Operation operation;
    std::int64_t sector;  // -1: partition 2's start
    int occurrence;
    std::optional<bool> VentoyInstallReport::*failedFlag;
    std::string notePrefix;  // empty: the table writer words its own note
    bool tableWritten;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class VentoyInstallerFails : public ::testing::TestWithParam<FailureCase> {};

TEST_P(VentoyInstallerFails, AtTheStepThatFailedWithANote) {
    const FailureCase& c = GetParam();
    const Drive drive = makeDrive();
    if (!drive.fixture) GTEST_SKIP() << "needs mkfs.fat and mcopy";
    const std::int64_t sector = c.sector < 0 ? drive.layout.part2StartSector : c.sector;
    FaultyDevice device(*drive.device, c.operation, sector, c.occurrence);
    const auto report = test::completedReport(test::defaultInstaller(256).install(
        device, drive.fixture->assets, drive.fixture->manifest(), signature, VentoyInstallOptions{}, {}, {}));
    EXPECT_EQ(report.*c.failedFlag, false) << render(report);
    EXPECT_FALSE(report.overallSuccess());
    EXPECT_FALSE(report.wasCancelled());
    ASSERT_FALSE(report.notes.empty());
    std::string prefix = c.notePrefix;
    if (const auto at = prefix.find("{p2}"); at != std::string::npos) {
        prefix.replace(at, 4, std::to_string(drive.layout.part2StartSector));
    }
    EXPECT_EQ(report.notes.back().rfind(prefix, 0), 0U) << report.notes.back();
    EXPECT_EQ(test::readAll(*drive.device, 0, 1) != std::vector<std::uint8_t>(512, 0), c.tableWritten);
}

using Op = FaultyDevice::Operation;
using R = VentoyInstallReport;
INSTANTIATE_TEST_SUITE_P(
    Install, VentoyInstallerFails,
    ::testing::Values(
        FailureCase{"coreWrite", Op::write, 1, 1, &R::coreWriteOk, "core.img write failed at sector 1: deviceFailure(",
                    false},
        FailureCase{"coreReadBack", Op::read, 257, 1, &R::coreVerifyOk, "core.img read-back failed at sector 257: ",
                    false},
        FailureCase{"blocklistPatchWrite", Op::write, 1, 2, &R::coreVerifyOk, "core.img: blocklist patch write failed: ",
                    false},
        FailureCase{"blocklistReRead", Op::read, 1, 3, &R::coreVerifyOk,
                    "core.img blocklist does not point at sector 2 — the drive would not boot in legacy BIOS mode",
                    false},
        FailureCase{"firstFlush", Op::flush, 0, 1, &R::flushOk, "flush failed: deviceFailure(", false},
        FailureCase{"format", Op::write, 2048, 1, &R::formatOk, "exFAT format write failed at ", false},
        FailureCase{"ventoyDiskWrite", Op::write, -1, 1, &R::ventoyDiskWriteOk,
                    "ventoy.disk.img write failed at sector {p2}: ", false},
        FailureCase{"ventoyDiskReadBack", Op::read, -1, 1, &R::ventoyDiskVerifyOk,
                    "ventoy.disk.img read-back failed at sector {p2}: ", false},
        FailureCase{"tableWrite", Op::write, 0, 1, &R::mbrWriteOk, "", false},
        FailureCase{"finalFlush", Op::flush, 0, 5, &R::flushOk, "flush failed: ", true},
        FailureCase{"tableReadBack", Op::read, 0, 1, &R::mbrVerifyOk, "", true}),
    test::CaseName{});

TEST(VentoyInstaller, NotesAFlushTheDeviceWillNotConfirmOnceAndStillSucceeds) {
    const Drive drive = makeDrive();
    if (!drive.fixture) GTEST_SKIP() << "needs mkfs.fat and mcopy";
    FaultyDevice device(*drive.device, FaultyDevice::Operation::flushNotHonoured, 0, 0);
    const auto report = test::completedReport(test::defaultInstaller().install(
        device, drive.fixture->assets, drive.fixture->manifest(), signature, VentoyInstallOptions{}, {}, {}));
    EXPECT_TRUE(report.overallSuccess()) << render(report);
    EXPECT_EQ(report.notes, std::vector<std::string>{"flush not honoured — a read-back may be served from the "
                                                     "drive's cache: no cache ioctl"});
}

}  // namespace
}  // namespace marlowick
