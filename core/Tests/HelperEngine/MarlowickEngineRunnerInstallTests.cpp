#include "HelperEngine/MarlowickEngineRunner.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "Bytes/Sha256.hpp"
#include "Bytes/LittleEndian.hpp"
#include "HelperEngine/EngineTestSupport.hpp"
#include "Support/SparseBlockDevice.hpp"

namespace marlowick {
namespace {

using Kind = HelperDriveOperationReport::Kind;

constexpr std::int64_t driveSectors = 200000;
constexpr std::size_t mbrDiskSignatureOffset = 440;

// A blank sparse drive, the engine over it, and boot files the build trusts.
class EngineInstalls : public ::testing::Test {
protected:
    void SetUp() override {
        std::string skip;
        trusted = test::trustedBootFiles(skip);
        if (!trusted) GTEST_SKIP() << skip;
    }

    [[nodiscard]] HelperResult prepare(std::optional<std::int32_t> diskSignature, test::ProgressLog* progress = nullptr) {
        return engine.run(HelperCommand{HelperCommand::Prepare{disk, trusted->assets, {}, diskSignature}},
                          progress ? progress->handler() : HelperProgressHandler{}, [] { return false; });
    }
    [[nodiscard]] std::int32_t mbrDiskSignature() {
        return static_cast<std::int32_t>(LittleEndian::read32(test::readAll(*medium, 0, 1), mbrDiskSignatureOffset));
    }

    std::shared_ptr<test::SparseBlockDevice> medium = std::make_shared<test::SparseBlockDevice>(driveSectors, 512);
    std::shared_ptr<test::RecordingDeviceProvider> devices = std::make_shared<test::RecordingDeviceProvider>(medium);
    MarlowickEngineRunner engine = test::engineWith(devices);
    HelperDiskRef disk = test::diskOf(*medium);
    std::optional<test::TrustedBootFiles> trusted;
};

const HelperDriveOperationReport& reportOf(const HelperResult& result) {
    static const HelperDriveOperationReport none;
    const auto* operation = std::get_if<HelperResult::DriveOperation>(&result.value);
    if (operation == nullptr) ADD_FAILURE() << "no drive operation: " << ::testing::PrintToString(result);
    return operation == nullptr ? none : operation->report;
}

TEST_F(EngineInstalls, PrepareThenDetectThenUpdateAVersionTheSignedRegistryVouchesFor) {
    test::ProgressLog progress;
    const HelperDriveOperationReport prepared = reportOf(prepare(0x1234ABCD, &progress));
    EXPECT_EQ(prepared.kind, Kind::prepare);
    EXPECT_TRUE(prepared.completed);
    EXPECT_TRUE(prepared.overallSuccess) << ::testing::PrintToString(prepared);
    EXPECT_EQ(progress.stageNames(),
              (std::vector<std::string>{"layout", "writeCore", "verifyCore", "formatPart1", "writeVentoyDisk",
                                        "verifyVentoyDisk", "writeMbr", "flush", "verifyMbr"}));
    const HelperProgress* lastDiskWrite = nullptr;
    for (const HelperProgress& record : progress.records) {
        if (record.stage == HelperProgress::Stage::writeVentoyDisk) lastDiskWrite = &record;
    }
    ASSERT_NE(lastDiskWrite, nullptr);
    const auto diskImgBytes = static_cast<std::int64_t>(trusted->fixture->ventoyDiskImg.size());
    EXPECT_EQ(lastDiskWrite->currentBytes, diskImgBytes);
    EXPECT_EQ(lastDiskWrite->totalBytes, diskImgBytes);
    EXPECT_EQ(mbrDiskSignature(), 0x1234ABCD);

    const HelperResult detected = engine.run(HelperCommand{HelperCommand::Detect{disk}});
    const auto* status = std::get_if<HelperResult::Detected>(&detected.value);
    ASSERT_NE(status, nullptr) << ::testing::PrintToString(detected);
    const auto* ventoy = std::get_if<HelperDriveStatus::Ventoy>(&status->status.value);
    ASSERT_NE(ventoy, nullptr) << ::testing::PrintToString(detected);
    EXPECT_EQ(ventoy->installedVersion, test::registryOnlyVersion);
    ASSERT_TRUE(ventoy->usage.has_value());
    EXPECT_EQ(ventoy->usage->filesystem, "exfat");

    test::ProgressLog updateProgress;
    const HelperDriveOperationReport updated = reportOf(engine.run(
        HelperCommand{HelperCommand::Update{disk, trusted->assets}}, updateProgress.handler(), [] { return false; }));
    EXPECT_EQ(updated.kind, Kind::update);
    EXPECT_TRUE(updated.overallSuccess) << ::testing::PrintToString(updated);
    EXPECT_EQ(updateProgress.stageNames().front(), "layout");
    EXPECT_EQ(updateProgress.stageNames().back(), "verifyMbr");
    EXPECT_EQ(mbrDiskSignature(), 0x1234ABCD) << "an update of an MBR drive keeps its signature";

    EXPECT_EQ(devices->opens(),
              (std::vector{BlockAccessMode::readWrite, BlockAccessMode::readOnly, BlockAccessMode::readWrite}));
    EXPECT_EQ(devices->closes(), 3);
}

// The low 32 bits of the millisecond clock, as a signed number: it may well be negative.
TEST_F(EngineInstalls, PrepareWithoutASignatureTakesItFromTheClock) {
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t before = now();
    ASSERT_TRUE(reportOf(prepare(std::nullopt)).overallSuccess);
    const std::int64_t after = now();
    const std::int32_t signature = mbrDiskSignature();
    bool fromTheRun = false;
    for (std::int64_t at = before; at <= after && !fromTheRun; ++at) {
        fromTheRun = static_cast<std::int32_t>(static_cast<std::uint32_t>(at)) == signature;
    }
    EXPECT_TRUE(fromTheRun) << signature << " is not the clock between " << before << " and " << after;
}

// The installer would refuse these files after the open, but the open unmounts the drive:
// the engine refuses them first, in the installer's own words.
// The refusal says which file failed its check and never echoes the digest of what was read.
TEST_F(EngineInstalls, BootFilesThatAreNotTheReleasesBytesAreRefusedBeforeTheOpen) {
    std::vector<std::uint8_t> flipped = trusted->fixture->ventoyDiskImg;
    flipped[flipped.size() / 2] ^= 0x01;
    trusted->fixture->replace(VentoyAsset::ventoyDiskImg, flipped);
    const HelperResult refused = prepare(0x1234ABCD);
    EXPECT_EQ(refused, HelperResult::failed(HelperCommandError::InvalidOptions{
                           "ventoy.disk.img does not match the release manifest's SHA-256 " +
                           Sha256::hex(trusted->fixture->ventoyDiskImg)}));
    EXPECT_EQ(::testing::PrintToString(refused).find(Sha256::hex(flipped)), std::string::npos);
    trusted->fixture->replace(VentoyAsset::ventoyDiskImg, trusted->fixture->ventoyDiskImg);

    // A core.img of 64 GiB is refused by its size, before a byte of it is read.
    const std::filesystem::path core = trusted->fixture->assets.url(VentoyAsset::coreImg);
    const std::int64_t releaseSize = static_cast<std::int64_t>(trusted->fixture->coreImg.size());
    test::createSparseFile(core, 64LL << 30);
    EXPECT_EQ(engine.run(HelperCommand{HelperCommand::Update{disk, trusted->assets}}),
              HelperResult::failed(HelperCommandError::InvalidOptions{"core.img is 68719476736 bytes, expected " +
                                                                      std::to_string(releaseSize)}));

    std::filesystem::remove(core);
    EXPECT_EQ(engine.run(HelperCommand{HelperCommand::Update{disk, trusted->assets}}),
              HelperResult::failed(HelperCommandError::InvalidOptions{"core.img: could not read the cached asset file"}));

    EXPECT_TRUE(devices->opens().empty());
    EXPECT_TRUE(medium->writes().empty());
}

// Known from the options and the reference alone: refused as the installer would, but
// without the open that would unmount the drive.
TEST_F(EngineInstalls, GptOnA4KnDriveIsRefusedBeforeTheOpen) {
    HelperInstallOptions gpt;
    gpt.partitionStyle = "gpt";
    const HelperDiskRef native4K("/dev/sdx", 4096, 25000, std::nullopt);
    EXPECT_EQ(engine.run(HelperCommand{HelperCommand::Prepare{native4K, trusted->assets, gpt, std::nullopt}}),
              (HelperResult{HelperResult::DriveOperation{HelperDriveOperationReport::aborted(
                  Kind::prepare, "GPT layout currently supports 512-byte sectors only, device is 4096")}}));
    EXPECT_TRUE(devices->opens().empty());
}

}  // namespace
}  // namespace marlowick
