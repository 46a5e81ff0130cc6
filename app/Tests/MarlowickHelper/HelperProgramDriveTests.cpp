// The helper program on a real block device, driven through the application's runner:
// detect, prepare, update, removeVentoy and listImages, each result checked against what
// outside tools and a real exFAT driver find on the drive.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "Exfat/ExfatTestVolume.hpp"
#include "HelperEngine/EngineTestSupport.hpp"
#include "HelperProgramSession.hpp"
#include "HelperTestDrive.hpp"
#include "Install/VentoyInstallFixture.hpp"
#include "Support/SparseFileBlockDevice.hpp"

namespace marlowick {
namespace {

const std::string sbin = "PATH=\"$PATH:/usr/sbin:/sbin\" ";

HelperDriveOperationReport reportOf(const HelperResult& result) {
    const auto* operation = std::get_if<HelperResult::DriveOperation>(&result.value);
    if (operation == nullptr) ADD_FAILURE() << "no drive operation: " << ::testing::PrintToString(result);
    return operation == nullptr ? HelperDriveOperationReport() : operation->report;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = test::readFile(path);
    return {bytes.begin(), bytes.end()};
}

class HelperProgramOnDrive : public test::HelperTestDriveFixture {
protected:
    // Boot files a registry signed with the tests' key vouches for; skips without them.
    bool trustBootFiles() {
        std::string skip;
        trusted = test::trustedBootFiles(skip);
        if (!trusted) skipReason = skip;
        return trusted.has_value();
    }

    HelperResult run(HelperCommand::Case command, test::ProgressLog* progress = nullptr) {
        return runner->run(HelperCommand{std::move(command)},
                           progress != nullptr ? progress->handler() : HelperProgressHandler([](const HelperProgress&) {}),
                           [] { return false; });
    }

    void prepare(const std::string& partitionStyle, test::ProgressLog* progress = nullptr) {
        HelperInstallOptions options;
        options.partitionStyle = partitionStyle;
        const HelperDriveOperationReport report =
            reportOf(run(HelperCommand::Prepare{drive->disk(), trusted->assets, options, std::nullopt}, progress));
        ASSERT_TRUE(report.overallSuccess) << ::testing::PrintToString(report);
    }

    // The drive as detect sees it; fails the test unless it is a Ventoy drive.
    std::optional<HelperDriveStatus::Ventoy> detectVentoy() {
        const HelperResult detected = run(HelperCommand::Detect{drive->disk()});
        const auto* status = std::get_if<HelperResult::Detected>(&detected.value);
        const auto* ventoy = status != nullptr ? std::get_if<HelperDriveStatus::Ventoy>(&status->status.value) : nullptr;
        if (ventoy == nullptr) {
            ADD_FAILURE() << "not a Ventoy drive: " << ::testing::PrintToString(detected);
            return std::nullopt;
        }
        return *ventoy;
    }

    std::optional<test::TrustedBootFiles> trusted;
    std::string skipReason;
};

// Through the runner, and as a command without its line feed followed by end of input.
TEST_F(HelperProgramOnDrive, DetectsABlankDriveAsNotVentoy) {
    const HelperCommand detect{HelperCommand::Detect{drive->disk()}};
    const HelperResult detected = runner->run(detect);
    const auto* status = std::get_if<HelperResult::Detected>(&detected.value);
    ASSERT_NE(status, nullptr) << ::testing::PrintToString(detected);
    EXPECT_TRUE(std::holds_alternative<HelperDriveStatus::NotVentoy>(status->status.value))
        << ::testing::PrintToString(detected);

    const test::HelperProgramRun unterminated = test::feedHelperProgram(*encodeJson(detect));
    EXPECT_EQ(unterminated.exitStatus, 0);
    EXPECT_EQ(test::framesOf(unterminated.lines), std::vector<HelperWireFrame>{{HelperWireFrame::Result{detected}}});
}

class HelperProgramPrepares : public HelperProgramOnDrive, public ::testing::WithParamInterface<const char*> {};

TEST_P(HelperProgramPrepares, ADriveThatOutsideToolsAccept) {
    if (!trustBootFiles()) GTEST_SKIP() << skipReason;
    test::ProgressLog progress;
    ASSERT_NO_FATAL_FAILURE(prepare(GetParam(), &progress));
    EXPECT_EQ(progress.stageNames().front(), "layout");

    const auto ventoy = detectVentoy();
    ASSERT_TRUE(ventoy.has_value());
    EXPECT_EQ(ventoy->installedVersion, test::registryOnlyVersion);
    EXPECT_EQ(ventoy->layout.partitionStyle, GetParam());
    EXPECT_EQ(ventoy->layout.diskSectorCount, test::HelperTestDrive::sectorCount);
    const std::optional<VentoyLayout> layout = ventoy->layout.ventoyLayout();
    ASSERT_TRUE(layout.has_value());

    // sfdisk, sgdisk (GPT), fsck.exfat on partition 1, the boot files byte for byte.
    test::FileBlockDevice onDisk(drive->imagePath(), 512);
    test::expectVentoyDrive(onDisk, *layout, *trusted->fixture, DriveFilesystem::exfat, drive->devicePath(),
                            drive->imagePath());
    const test::CommandOutput verified = test::runCommand(sbin + "sfdisk --verify " + drive->devicePath());
    EXPECT_EQ(verified.exitCode, 0) << verified.output;
}

INSTANTIATE_TEST_SUITE_P(Styles, HelperProgramPrepares, ::testing::Values("mbr", "gpt"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(HelperProgramOnDrive, UpdateKeepsTheFilesOnPartitionOne) {
    if (!trustBootFiles()) GTEST_SKIP() << skipReason;
    ASSERT_NO_FATAL_FAILURE(prepare("mbr"));
    const auto before = detectVentoy();
    ASSERT_TRUE(before.has_value());
    const VentoyLayout layout = *before->layout.ventoyLayout();
    std::string whyNot;
    {
        const auto mounted = test::MountedDataPartition::mount(*drive, layout, whyNot);
        if (!mounted) GTEST_SKIP() << whyNot;
        writeText(mounted->root() / "keep.txt", "still here after the update\n");
    }

    const HelperDriveOperationReport report =
        reportOf(run(HelperCommand::Update{drive->disk(), trusted->assets}));
    EXPECT_TRUE(report.overallSuccess) << ::testing::PrintToString(report);

    const auto after = detectVentoy();
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->layout, before->layout);
    EXPECT_EQ(after->installedVersion, test::registryOnlyVersion);
    const auto mounted = test::MountedDataPartition::mount(*drive, layout, whyNot);
    ASSERT_NE(mounted, nullptr) << whyNot;
    EXPECT_EQ(readText(mounted->root() / "keep.txt"), "still here after the update\n");
}

TEST_F(HelperProgramOnDrive, ListsTheImagesAnExfatDriverPutOnPartitionOne) {
    if (!trustBootFiles()) GTEST_SKIP() << skipReason;
    ASSERT_NO_FATAL_FAILURE(prepare("mbr"));
    const auto ventoy = detectVentoy();
    ASSERT_TRUE(ventoy.has_value());
    std::string whyNot;
    {
        const auto mounted = test::MountedDataPartition::mount(*drive, *ventoy->layout.ventoyLayout(), whyNot);
        if (!mounted) GTEST_SKIP() << whyNot;
        writeText(mounted->root() / "rescue.iso", std::string(6000, 'i'));
        std::filesystem::create_directories(mounted->root() / "linux");
        writeText(mounted->root() / "linux" / "installer.img", std::string(3000, 'm'));
        writeText(mounted->root() / "notes.txt", "not an image\n");
    }

    const HelperResult listed = run(HelperCommand::ListImages{drive->disk(), ventoy->layout});
    const auto* listing = std::get_if<HelperResult::ImageListing>(&listed.value);
    ASSERT_NE(listing, nullptr) << ::testing::PrintToString(listed);
    const auto* success = std::get_if<HelperImageListing::Success>(&listing->listing.value);
    ASSERT_NE(success, nullptr) << ::testing::PrintToString(listed);
    std::vector<std::string> found;
    for (const HelperImageEntry& entry : success->images) {
        found.push_back(entry.path + ":" + std::to_string(entry.sizeBytes));
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"linux/installer.img:3000", "rescue.iso:6000"}));
}

TEST_F(HelperProgramOnDrive, RemoveVentoyLeavesOneExfatVolume) {
    if (!trustBootFiles()) GTEST_SKIP() << skipReason;
    MARLOWICK_REQUIRE_TOOL("fsck.exfat");
    ASSERT_NO_FATAL_FAILURE(prepare("gpt"));

    const HelperDriveOperationReport report =
        reportOf(run(HelperCommand::RemoveVentoy{drive->disk(), HelperRemoveOptions()}));
    EXPECT_TRUE(report.overallSuccess) << ::testing::PrintToString(report);

    const HelperResult detected = run(HelperCommand::Detect{drive->disk()});
    const auto* status = std::get_if<HelperResult::Detected>(&detected.value);
    ASSERT_NE(status, nullptr) << ::testing::PrintToString(detected);
    EXPECT_TRUE(std::holds_alternative<HelperDriveStatus::NotVentoy>(status->status.value))
        << ::testing::PrintToString(detected);

    const test::CommandOutput dump = test::runCommand(sbin + "sfdisk -J " + drive->devicePath());
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    const auto partitions = nlohmann::json::parse(dump.output).at("partitiontable").at("partitions");
    ASSERT_EQ(partitions.size(), 1U) << dump.output;
    const std::int64_t start = partitions[0].at("start");
    const std::int64_t size = partitions[0].at("size");
    const std::filesystem::path volume = drive->folder().file("volume.img");
    test::copySparseSlice(drive->imagePath(), start * 512, size * 512, volume);
    const test::CommandOutput checked = test::runCommand(sbin + "fsck.exfat -n '" + volume.string() + "'");
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
}

}  // namespace
}  // namespace marlowick
