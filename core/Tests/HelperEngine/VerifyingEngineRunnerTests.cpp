#include "HelperEngine/VerifyingEngineRunner.hpp"

#include <gtest/gtest.h>

#include "Diagnostics/LogSinks.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Block/FakeProbes.hpp"

namespace marlowick {
namespace {

using Verdict = TargetVerification::Verdict;
using MarlowickLog::Category;
using MarlowickLog::Level;

// Answers every command with one progress record and a fixed result, and keeps the commands.
class ScriptedRunner final : public HelperEngineRunner {
public:
    using HelperEngineRunner::run;
    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override {
        commands.push_back(command);
        onProgress(HelperProgress(HelperProgress::Stage::flush, std::nullopt, std::nullopt));
        sawCancel = isCancelled();
        return answer;
    }

    HelperResult answer{HelperResult::DriveOperation{HelperDriveOperationReport::aborted(
        HelperDriveOperationReport::Kind::writeRawImage, "the image is larger than the drive")}};
    std::vector<HelperCommand> commands;
    bool sawCancel = false;
};

struct Logged {
    Category category;
    Level level;
    std::string message;
    bool operator==(const Logged&) const = default;
};
void PrintTo(const Logged& line, std::ostream* os) { *os << MarlowickLog::rawValue(line.category) << ": " << line.message; }

class VerifyingEngineRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { MarlowickLog::setSink(sink); }
    void TearDown() override { MarlowickLog::setSink(nullptr); }

    [[nodiscard]] VerifyingEngineRunner runner(std::shared_ptr<HelperSourceVolumeProbe> sourceProbe = nullptr) {
        return VerifyingEngineRunner(inner, probe, std::move(sourceProbe));
    }
    [[nodiscard]] std::vector<Logged> logged() const {
        std::vector<Logged> lines;
        for (const auto& record : sink->records()) lines.push_back({record.category, record.level, record.message});
        return lines;
    }

    std::shared_ptr<MarlowickLog::MemorySink> sink = std::make_shared<MarlowickLog::MemorySink>();
    std::shared_ptr<ScriptedRunner> inner = std::make_shared<ScriptedRunner>();
    std::shared_ptr<test::FakeDeviceProbe> probe =
        std::make_shared<test::FakeDeviceProbe>(std::vector{test::usbStick()});
    HelperDiskRef stick{test::usbStick()};
    HelperCommand writeImage{HelperCommand::WriteRawImage{stick, "/media/u/stick/debian.img", true}};
};

TEST_F(VerifyingEngineRunnerTest, AVerifiedTargetRunsTheInnerRunnerWithTheSameCallbacks) {
    std::vector<HelperProgress> progress;
    const HelperResult result = runner().run(
        writeImage, [&](const HelperProgress& p) { progress.push_back(p); }, [] { return true; });

    EXPECT_EQ(result, inner->answer);
    EXPECT_EQ(inner->commands, std::vector{writeImage});
    EXPECT_EQ(progress.size(), 1U);
    EXPECT_TRUE(inner->sawCancel);
    EXPECT_EQ(logged(), (std::vector<Logged>{
                            {Category::helper, Level::standard, "command writeRawImage \u2192 sdb"},
                            {Category::target, Level::info, "verified sdb"},
                            {Category::helper, Level::standard, "result writeRawImage \u2192 failed"},
                        }));
}

TEST_F(VerifyingEngineRunnerTest, ARefusedTargetNeverReachesTheInnerRunner) {
    HelperDiskRef swapped = stick;
    swapped.fingerprint->serialNumber = "0000";
    const HelperResult result = runner().run(HelperCommand{HelperCommand::Prepare{swapped, {}, {}, std::nullopt}});

    EXPECT_EQ(result, HelperResult::failed(HelperCommandError::TargetVerificationFailed{
                          {Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}}));
    EXPECT_TRUE(inner->commands.empty());
    EXPECT_EQ(logged(), (std::vector<Logged>{
                            {Category::helper, Level::standard, "command prepare \u2192 sdb"},
                            {Category::target, Level::error,
                             "refused sdb: sdb is a different device: serialNumber changed \u2014 nothing was opened "
                             "or written"},
                        }));
}

TEST_F(VerifyingEngineRunnerTest, APathWithoutAKernelNameIsLoggedAsItCame) {
    const HelperDiskRef byId("/dev/disk/by-id/usb-SanDisk", 512, 62521344, std::nullopt);
    const HelperResult result = runner().run(HelperCommand{HelperCommand::Detect{byId}});

    EXPECT_EQ(result, HelperResult::failed(HelperCommandError::TargetVerificationFailed{
                          {Verdict::MalformedDevicePath{"/dev/disk/by-id/usb-SanDisk"}}}));
    EXPECT_TRUE(probe->asked.empty());
    EXPECT_EQ(logged().front().message, "command detect \u2192 /dev/disk/by-id/usb-SanDisk");
}

TEST_F(VerifyingEngineRunnerTest, AnImageOnTheTargetDiskIsRefusedOnlyWithASourceProbe) {
    const auto onTarget = std::make_shared<test::FakeSourceVolumeProbe>("sdb");
    EXPECT_EQ(runner(onTarget).run(writeImage), HelperResult::failed(HelperCommandError::SourceOnTarget{}));
    EXPECT_EQ(onTarget->asked, std::vector<std::string>{"/media/u/stick/debian.img"});
    EXPECT_TRUE(inner->commands.empty());
    EXPECT_EQ(logged().back(),
              (Logged{Category::target, Level::error,
                      "refused sdb: the raw-write source lives on the target disk \u2014 nothing was opened or written"}));

    // Elsewhere, unknown, or not looked for: the write goes through.
    EXPECT_EQ(runner(std::make_shared<test::FakeSourceVolumeProbe>("sdc")).run(writeImage), inner->answer);
    EXPECT_EQ(runner(std::make_shared<test::FakeSourceVolumeProbe>(std::nullopt)).run(writeImage), inner->answer);
    EXPECT_EQ(runner().run(writeImage), inner->answer);
    EXPECT_EQ(inner->commands.size(), 3U);

    // Only a raw write has a source to look for.
    EXPECT_EQ(runner(onTarget).run(HelperCommand{HelperCommand::Detect{stick}}), inner->answer);
    EXPECT_EQ(onTarget->asked.size(), 1U);
    EXPECT_EQ(inner->commands.size(), 4U);
}

}  // namespace
}  // namespace marlowick
