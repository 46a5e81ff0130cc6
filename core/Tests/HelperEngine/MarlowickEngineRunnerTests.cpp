#include "HelperEngine/MarlowickEngineRunner.hpp"

#include <gtest/gtest.h>

#include <random>

#include "Exfat/ExfatTestVolume.hpp"
#include "HelperEngine/EngineTestSupport.hpp"
#include "Support/SparseBlockDevice.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Kind = HelperDriveOperationReport::Kind;
using Error = HelperCommandError;

constexpr std::int64_t ventoyDriveSectors = 200000;

// A sparse drive behind a recording provider, and the engine over it.
struct Drive {
    explicit Drive(std::int64_t sectorCount = ventoyDriveSectors)
        : medium(std::make_shared<test::SparseBlockDevice>(sectorCount, 512)),
          devices(std::make_shared<test::RecordingDeviceProvider>(medium)),
          engine(test::engineWith(devices)),
          disk(test::diskOf(*medium)) {}

    std::shared_ptr<test::SparseBlockDevice> medium;
    std::shared_ptr<test::RecordingDeviceProvider> devices;
    MarlowickEngineRunner engine;
    HelperDiskRef disk;
};

const HelperDriveOperationReport* reportOf(const HelperResult& result) {
    const auto* operation = std::get_if<HelperResult::DriveOperation>(&result.value);
    return operation == nullptr ? nullptr : &operation->report;
}

const HelperDriveStatus::Ventoy* ventoyStatusOf(const HelperResult& result) {
    const auto* detected = std::get_if<HelperResult::Detected>(&result.value);
    return detected == nullptr ? nullptr : std::get_if<HelperDriveStatus::Ventoy>(&detected->status.value);
}

HelperAssetRefSet filesOf(const std::string& version) {
    return HelperAssetRefSet(version, "/nonexistent/boot.img", "/nonexistent/core.img",
                             "/nonexistent/ventoy.disk.img", std::nullopt);
}

struct RefusalCase {
    const char* name;
    HelperCommand (*command)(const HelperDiskRef& disk);
    Error::Case error;
};

class EngineRefusesBeforeOpening : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(EngineRefusesBeforeOpening, WithTheErrorOfTheCommand) {
    const RefusalCase& c = GetParam();
    Drive drive;
    const HelperResult result = drive.engine.run(c.command(drive.disk));
    EXPECT_EQ(result, HelperResult::failed(c.error));
    EXPECT_TRUE(drive.devices->opens().empty()) << "a refused command must not open (and so unmount) the drive";
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, EngineRefusesBeforeOpening,
    ::testing::Values(
        RefusalCase{"prepareOfAnUntrustedVersion",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{HelperCommand::Prepare{disk, filesOf("9.9.9"), {}, std::nullopt}};
                    },
                    Error::InvalidOptions{"Ventoy 9.9.9 is not a verified release"}},
        RefusalCase{"updateOfAnUntrustedVersion",
                    [](const HelperDiskRef& disk) { return HelperCommand{HelperCommand::Update{disk, filesOf("1.1.17 ")}}; },
                    Error::InvalidOptions{"Ventoy 1.1.17  is not a verified release"}},
        RefusalCase{"prepareOfABuiltInVersionWithOtherFiles",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{HelperCommand::Prepare{disk, filesOf("1.1.17"), {}, std::nullopt}};
                    },
                    Error::InvalidOptions{"boot.img: could not read the cached asset file"}},
        // The options are mapped before the release is looked at.
        RefusalCase{"prepareWithAnUnknownFilesystem",
                    [](const HelperDiskRef& disk) {
                        HelperInstallOptions options;
                        options.dataFilesystem = "FAT32";
                        return HelperCommand{HelperCommand::Prepare{disk, filesOf("9.9.9"), options, std::nullopt}};
                    },
                    Error::InvalidOptions{R"(unknownRawValue(field: "dataFilesystem", value: "FAT32"))"}},
        RefusalCase{"prepareWithANegativeReserve",
                    [](const HelperDiskRef& disk) {
                        HelperInstallOptions options;
                        options.reserveBytesAtEnd = -1;
                        return HelperCommand{HelperCommand::Prepare{disk, filesOf("1.1.17"), options, std::nullopt}};
                    },
                    Error::InvalidOptions{"negativeReserveBytes(-1)"}},
        RefusalCase{"prepareWithABlankLabel",
                    [](const HelperDiskRef& disk) {
                        HelperInstallOptions options;
                        options.volumeLabel = " \n";
                        return HelperCommand{HelperCommand::Prepare{disk, filesOf("1.1.17"), options, std::nullopt}};
                    },
                    Error::InvalidOptions{"blankVolumeLabel"}},
        RefusalCase{"removeVentoyAsFat32",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{
                            HelperCommand::RemoveVentoy{disk, HelperRemoveOptions("fat32", "mbr", "DATA", std::nullopt)}};
                    },
                    Error::InvalidOptions{R"(unknownRawValue(field: "filesystem", value: "fat32"))"}},
        RefusalCase{"removeVentoyWithAClusterOfThreeSectors",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{
                            HelperCommand::RemoveVentoy{disk, HelperRemoveOptions("exfat", "gpt", "DATA", 1536)}};
                    },
                    Error::InvalidOptions{"clusterNotPowerOfTwo(1536)"}},
        RefusalCase{"addImage",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{HelperCommand::AddImage{disk, {}, "a.iso", 4096, "/home/u/a.iso", true}};
                    },
                    Error::MalformedCommand{"addImage runs in the app through the mounted volume"}},
        RefusalCase{"listImagesWithAnUpperCaseStyle",
                    [](const HelperDiskRef& disk) {
                        HelperVentoyLayout layout(200000, 512, 2048, 131072, 133120, 65536, "GPT", 34);
                        return HelperCommand{HelperCommand::ListImages{disk, layout}};
                    },
                    Error::MalformedCommand{"unknown partition style \"GPT\""}},
        RefusalCase{"writeRawImageOfAMissingFile",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{HelperCommand::WriteRawImage{disk, "/nonexistent/a.img.xz", true}};
                    },
                    Error::CouldNotOpenSource{"/nonexistent/a.img.xz"}},
        // A device node is no image: copying it would never end.
        RefusalCase{"writeRawImageOfADeviceNode",
                    [](const HelperDiskRef& disk) {
                        return HelperCommand{HelperCommand::WriteRawImage{disk, "/dev/zero", false}};
                    },
                    Error::CouldNotOpenSource{"/dev/zero"}}),
    test::CaseName{});

TEST(MarlowickEngineRunner, AFailedOpenIsTheProvidersErrorAndClosesNothing) {
    Drive drive;
    const Error refused{Error::CouldNotOpenDevice{"Marlowick couldn't open this drive."}};
    drive.devices->failOpens(refused);
    EXPECT_EQ(drive.engine.run(HelperCommand{HelperCommand::Detect{drive.disk}}), HelperResult{HelperResult::Failed{refused}});
    EXPECT_EQ(drive.engine.run(HelperCommand{HelperCommand::RemoveVentoy{drive.disk, {}}}),
              HelperResult{HelperResult::Failed{refused}});
    EXPECT_EQ(drive.devices->opens(), (std::vector{BlockAccessMode::readOnly, BlockAccessMode::readWrite}));
    EXPECT_EQ(drive.devices->closes(), 0);
    EXPECT_TRUE(drive.medium->writes().empty());
}

TEST(MarlowickEngineRunner, DetectReadsABlankDriveReadOnlyAndClosesIt) {
    Drive drive;
    const HelperResult result = drive.engine.run(HelperCommand{HelperCommand::Detect{drive.disk}});
    const auto* detected = std::get_if<HelperResult::Detected>(&result.value);
    ASSERT_NE(detected, nullptr) << ::testing::PrintToString(result);
    EXPECT_TRUE(std::holds_alternative<HelperDriveStatus::NotVentoy>(detected->status.value));
    EXPECT_EQ(drive.devices->opens(), std::vector{BlockAccessMode::readOnly});
    EXPECT_EQ(drive.devices->closes(), 1);
}

TEST(MarlowickEngineRunner, DetectCarriesAReadFailureOverCaseByCase) {
    Drive drive;
    const BlockError error{BlockError::DeviceFailure{"read", "read /dev/sdx: errno 5 (Input/output error)"}};
    drive.medium->failReadsOf(0, error);
    EXPECT_EQ(drive.engine.run(HelperCommand{HelperCommand::Detect{drive.disk}}),
              HelperResult{HelperResult::DetectReadFailed{HelperBlockError(error)}});
    EXPECT_EQ(drive.devices->closes(), 1);
}

enum class DataPartition { exfat, fat32, wiped };

struct DetectCase {
    const char* name;
    DataPartition data;
    std::optional<std::string> usageFilesystem;
};

class EngineDetectsAVentoyDrive : public ::testing::TestWithParam<DetectCase> {};

// The drive is made by the installer itself, so no trusted release is needed here.
TEST_P(EngineDetectsAVentoyDrive, WithItsVersionAndTheUsageOfPartitionOne) {
    const DetectCase& c = GetParam();
    std::string skip;
    const auto fixture = test::VentoyFixture::make(skip);
    if (!fixture) GTEST_SKIP() << skip;
    Drive drive;
    const VentoyInstallOptions options(c.data == DataPartition::fat32 ? DriveFilesystem::fat32 : DriveFilesystem::exfat);
    const auto installed = test::completedReport(test::defaultInstaller().install(
        *drive.medium, fixture->assets, fixture->manifest(), 0x1234ABCD, options, {}, {}));
    ASSERT_TRUE(installed.overallSuccess());
    if (c.data == DataPartition::wiped) drive.medium->sector(installed.part1StartSector) = std::vector<std::uint8_t>(512, 0);

    const HelperResult result = drive.engine.run(HelperCommand{HelperCommand::Detect{drive.disk}});
    const auto* ventoy = ventoyStatusOf(result);
    ASSERT_NE(ventoy, nullptr) << ::testing::PrintToString(result);
    EXPECT_EQ(ventoy->layout.part1StartSector, installed.part1StartSector);
    EXPECT_EQ(ventoy->layout.partitionStyle, "mbr");
    EXPECT_EQ(ventoy->installedVersion, test::fixtureVersion);
    EXPECT_EQ(ventoy->usage ? ventoy->usage->filesystem : std::nullopt, c.usageFilesystem);
    if (ventoy->usage) {
        // A fresh volume is nearly empty and no larger than its partition.
        EXPECT_LE(ventoy->usage->totalBytes, installed.part1SectorCount * 512);
        EXPECT_GT(ventoy->usage->freeBytes, ventoy->usage->totalBytes * 9 / 10);
        EXPECT_LE(ventoy->usage->freeBytes, ventoy->usage->totalBytes);
    }
    EXPECT_EQ(drive.devices->opens(), std::vector{BlockAccessMode::readOnly});
    EXPECT_EQ(drive.devices->closes(), 1);
}

INSTANTIATE_TEST_SUITE_P(DataPartitions, EngineDetectsAVentoyDrive,
                         ::testing::Values(DetectCase{"exfat", DataPartition::exfat, "exfat"},
                                           DetectCase{"fat32FallsBack", DataPartition::fat32, "fat32"},
                                           DetectCase{"neitherGivesNoUsage", DataPartition::wiped, std::nullopt}),
                         test::CaseName{});

TEST(MarlowickEngineRunner, ListImagesGivesTheBootableImagesOfPartitionOne) {
    MARLOWICK_REQUIRE_TOOL("mkfs.exfat");
    const test::TempDir dir;
    test::HandBuiltVolume volume(dir);
    ASSERT_TRUE(volume.isValid());
    volume.add(volume.root(), test::fileSet(u"a.iso", 4096));
    volume.add(volume.root(), test::fileSet(u"notes.txt", 10));
    volume.add(volume.root(), test::fileSet(u"B.IMG", 512));
    const auto medium = std::make_shared<MemoryBlockDevice>(volume.device());
    const auto devices = std::make_shared<test::RecordingDeviceProvider>(medium);
    MarlowickEngineRunner engine = test::engineWith(devices);
    const HelperVentoyLayout layout(medium->sectorCount(), 512, test::HandBuiltVolume::deviceStartSector,
                                    medium->sectorCount() - test::HandBuiltVolume::deviceStartSector, 0, 0, "mbr", 1);

    const HelperResult result = engine.run(HelperCommand{HelperCommand::ListImages{test::diskOf(*medium), layout}});
    const HelperImageListing expected(HelperImageListing::Success{
        {HelperImageEntry("a.iso", "a.iso", 4096, false), HelperImageEntry("B.IMG", "B.IMG", 512, false)}});
    EXPECT_EQ(result, HelperResult{HelperResult::ImageListing{expected}});
    EXPECT_EQ(devices->opens(), std::vector{BlockAccessMode::readOnly});
    EXPECT_EQ(devices->closes(), 1);
}

TEST(MarlowickEngineRunner, RemoveVentoyFormatsTheWholeDriveWithWireStages) {
    Drive drive;
    test::ProgressLog progress;
    const HelperResult result = drive.engine.run(
        HelperCommand{HelperCommand::RemoveVentoy{drive.disk, HelperRemoveOptions("exfat", "gpt", "DATA", 4096)}},
        progress.handler(), [] { return false; });
    const auto* report = reportOf(result);
    ASSERT_NE(report, nullptr) << ::testing::PrintToString(result);
    EXPECT_EQ(report->kind, Kind::removeVentoy);
    EXPECT_TRUE(report->completed);
    EXPECT_TRUE(report->overallSuccess) << ::testing::PrintToString(result);
    EXPECT_EQ(progress.stageNames(), (std::vector<std::string>{"layout", "scrubReserved", "writeMbr", "verifyMbr",
                                                               "format", "verifyFormat", "flush"}));
    EXPECT_EQ(drive.devices->opens(), std::vector{BlockAccessMode::readWrite});
    EXPECT_EQ(drive.devices->closes(), 1);
}

std::vector<std::uint8_t> noise(std::size_t size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// A 1 MiB image, gzip-compressed by the gzip tool, written by name.
struct GzipImage {
    test::TempDir dir;
    std::vector<std::uint8_t> bytes = noise(1024 * 1024);
    std::filesystem::path path = dir.file("disk.img.gz");

    [[nodiscard]] bool make() {
        test::writeFile(dir.file("disk.img"), bytes);
        return test::runCommand("gzip '" + dir.file("disk.img").string() + "'").exitCode == 0;
    }
};

TEST(MarlowickEngineRunner, WriteRawImageDecompressesByNameWritesAndVerifies) {
    MARLOWICK_REQUIRE_TOOL("gzip");
    GzipImage image;
    ASSERT_TRUE(image.make());
    Drive drive(4096);
    test::ProgressLog progress;
    const HelperResult result =
        drive.engine.run(HelperCommand{HelperCommand::WriteRawImage{drive.disk, image.path.string(), true}},
                         progress.handler(), [] { return false; });
    const auto* report = reportOf(result);
    ASSERT_NE(report, nullptr) << ::testing::PrintToString(result);
    EXPECT_EQ(report->kind, Kind::writeRawImage);
    EXPECT_TRUE(report->overallSuccess) << ::testing::PrintToString(result);
    EXPECT_TRUE(report->rawWriteVerification.has_value());
    EXPECT_EQ(progress.stageNames(), (std::vector<std::string>{"writeRawImage", "flush", "verifyRawImage"}));
    const HelperProgress& last = progress.records.back();
    EXPECT_EQ(last.currentBytes, std::int64_t{1024 * 1024});
    EXPECT_EQ(test::readAll(*drive.medium, 0, 2048), image.bytes);
    EXPECT_EQ(drive.devices->opens(), std::vector{BlockAccessMode::readWrite});
    EXPECT_EQ(drive.devices->closes(), 1);
}

struct BrokenWriteCase {
    const char* name;
    bool cancelled;
    bool failWrites;
};

class EngineClosesAfterABrokenWrite : public ::testing::TestWithParam<BrokenWriteCase> {};

TEST_P(EngineClosesAfterABrokenWrite, AndReportsTheRunInsteadOfFailing) {
    const BrokenWriteCase& c = GetParam();
    MARLOWICK_REQUIRE_TOOL("gzip");
    GzipImage image;
    ASSERT_TRUE(image.make());
    Drive drive(4096);
    if (c.failWrites) drive.medium->failWritesFrom(0, BlockError{BlockError::DeviceFailure{"write", "gone"}});
    const HelperResult result =
        drive.engine.run(HelperCommand{HelperCommand::WriteRawImage{drive.disk, image.path.string(), true}},
                         [](const HelperProgress&) {}, [&] { return c.cancelled; });
    const auto* report = reportOf(result);
    ASSERT_NE(report, nullptr) << ::testing::PrintToString(result);
    EXPECT_TRUE(report->completed);
    EXPECT_FALSE(report->overallSuccess);
    EXPECT_EQ(report->wasCancelled, c.cancelled);
    EXPECT_EQ(drive.devices->closes(), 1);
}

INSTANTIATE_TEST_SUITE_P(RawWrite, EngineClosesAfterABrokenWrite,
                         ::testing::Values(BrokenWriteCase{"cancelled", true, false},
                                           BrokenWriteCase{"writesFail", false, true}),
                         test::CaseName{});

}  // namespace
}  // namespace marlowick
