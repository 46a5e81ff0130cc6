// The mounted-volume runner: addImage answered in the application through the resolver and
// the copier (a temporary folder stands in for the mounted volume), every other command
// passed to the privileged runner unchanged.
#include <gtest/gtest.h>

#include "Files/MountedDriveFileAccess.hpp"
#include "Files/MountedVolumeEngineRunner.hpp"
#include "Files/NotAFileSources.hpp"
#include "Files/ScriptedVolumeProbe.hpp"
#include "Exfat/ExfatWriteErrorText.hpp"
#include "Block/FakeProbes.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Outcome = HelperAddImageOutcome;
using Copy = MountedImageCopyResult;

class RecordingRunner final : public HelperEngineRunner {
public:
    using HelperEngineRunner::run;
    HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                     const HelperCancelCheck&) override {
        commands.push_back(command);
        onProgress(HelperProgress(HelperProgress::Stage::layout, std::nullopt, std::nullopt));
        return answer;
    }
    std::vector<HelperCommand> commands;
    HelperResult answer{HelperResult::Detected{HelperDriveStatus{HelperDriveStatus::NotVentoy{"blank"}}}};
};

HelperResult added(Outcome::Case outcome) { return {HelperResult::AddImage{Outcome{std::move(outcome)}}}; }

class MountedVolumeEngineRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(volumeRoot);
        test::writeFile(source, std::vector<std::uint8_t>(1000000, 0x5A));
        volumes->beforeMount = {test::dataPartitionInfo(volumeRoot)};
        volumes->nodes[volumeRoot] = "/dev/sdb1";
        copier.spaceProbe = [](const std::string&) { return std::optional<VolumeSpace>{{1 << 30, 1LL << 32}}; };
        copier.fileSizeLimitProbe = [](const std::string&) { return std::optional<std::int64_t>{}; };
    }
    MountedVolumeEngineRunner runner() { return MountedVolumeEngineRunner(privileged, devices, volumes, copier); }
    HelperCommand addImage(std::string style = "mbr", std::string path = {}) {
        return {HelperCommand::AddImage{HelperDiskRef(test::usbStick()), test::sampleWireLayout(std::move(style)),
                                        "image.iso", 1000000, path.empty() ? source.string() : path, true}};
    }

    test::TempDir dir;
    fs::path volumeRoot = dir.file("VENTOY");
    fs::path source = dir.file("image.iso");
    std::shared_ptr<RecordingRunner> privileged = std::make_shared<RecordingRunner>();
    std::shared_ptr<test::FakeDeviceProbe> devices =
        std::make_shared<test::FakeDeviceProbe>(std::vector<DiscoveredDisk>{test::usbStick()});
    std::shared_ptr<test::ScriptedVolumeProbe> volumes = std::make_shared<test::ScriptedVolumeProbe>();
    MountedImageCopier copier{65536};
};

TEST_F(MountedVolumeEngineRunnerTest, AddsAnImageWithCopyAndVerifyProgress) {
    std::vector<HelperProgress> progress;
    const HelperResult result =
        runner().run(addImage(), [&](const HelperProgress& p) { progress.push_back(p); }, [] { return false; });
    EXPECT_EQ(result, added(Outcome::Success{HelperImageEntry("/image.iso", "image.iso", 1000000, false), 1 << 30,
                                             1LL << 32}));
    EXPECT_EQ(test::readFile(volumeRoot / "image.iso"), std::vector<std::uint8_t>(1000000, 0x5A));
    ASSERT_EQ(progress.size(), 2u * 16);
    EXPECT_EQ(progress.front(), HelperProgress(HelperProgress::Stage::copyImage, 65536, 1000000));
    EXPECT_EQ(progress[15], HelperProgress(HelperProgress::Stage::copyImage, 1000000, 1000000));
    EXPECT_EQ(progress.back(), HelperProgress(HelperProgress::Stage::verifyImage, 1000000, 1000000));
    EXPECT_TRUE(privileged->commands.empty());
}

TEST_F(MountedVolumeEngineRunnerTest, ChecksStyleThenSourceBeforeTouchingTheDrive) {
    EXPECT_EQ(runner().run(addImage("MBR", "/nonexistent/x.iso")),
              HelperResult::failed(HelperCommandError::MalformedCommand{"unknown partition style \"MBR\""}));
    EXPECT_EQ(runner().run(addImage("gpt", "/nonexistent/x.iso")),
              HelperResult::failed(HelperCommandError::CouldNotOpenSource{"/nonexistent/x.iso"}));
    EXPECT_TRUE(devices->asked.empty());
    EXPECT_TRUE(volumes->partitionsAsked.empty());
    EXPECT_TRUE(volumes->mountsAsked.empty());
}

// Not worth a mount either: a source that is no file, refused at once in words that say
// what it is (a FIFO would hang an open that waits for its writer).
TEST_F(MountedVolumeEngineRunnerTest, RefusesASourceThatIsNoFileBeforeTouchingTheDrive) {
    const std::vector<test::NotAFileSource> sources = test::makeNotAFileSources(dir.path());
    ASSERT_FALSE(sources.empty());
    for (const test::NotAFileSource& source : sources) {
        SCOPED_TRACE(source.name);
        std::optional<HelperResult> result;
        EXPECT_TRUE(test::finishesWithin(
            std::chrono::seconds(10), [&] { result = runner().run(addImage("mbr", source.path.string())); }, sources));
        EXPECT_EQ(result, added(Outcome::Invalid{"“image.iso” is " + std::string(source.kind) +
                                                 ", not an image file, so nothing was copied. Pick an image file, "
                                                 "such as an .iso, and try again."}));
    }
    EXPECT_TRUE(devices->asked.empty());
    EXPECT_TRUE(volumes->partitionsAsked.empty());
    EXPECT_TRUE(fs::is_empty(volumeRoot));
}

TEST_F(MountedVolumeEngineRunnerTest, TurnsRefusalsIntoResults) {
    devices->disks["sdb"].serialNumber = "SWAPPED";
    EXPECT_EQ(runner().run(addImage()),
              HelperResult::failed(HelperCommandError::TargetVerificationFailed{TargetVerification::Verdict{
                  TargetVerification::Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}}));
    devices->disks["sdb"] = test::usbStick();

    volumes->beforeMount = {test::dataPartitionInfo(volumeRoot, "sdb1", "hfsplus")};
    EXPECT_EQ(runner().run(addImage()), added(Outcome::NotExfat{}));

    volumes->beforeMount = {test::dataPartitionInfo(std::nullopt)};
    volumes->beforeMount[0].isWritable = false;
    EXPECT_EQ(runner().run(addImage()), added(Outcome::VolumeUnavailable{"readOnly(partitionBSDName: \"sdb1\")"}));
    EXPECT_TRUE(volumes->mountsAsked.empty());
    EXPECT_TRUE(fs::is_empty(volumeRoot));
}

// The images were listed from one drive; by the time an image is added, another stick
// answers to the same name. The runner's own verification refuses it before the copy.
TEST_F(MountedVolumeEngineRunnerTest, RefusesADriveSwappedAfterItsImagesWereListed) {
    MountedDriveFileAccess access{devices, volumes};
    test::writeFile(volumeRoot / "listed.iso", {1});
    ASSERT_TRUE(access.listImages(HelperDiskRef(test::usbStick()), test::sampleWireLayout()).doneValue());
    devices->disks["sdb"].serialNumber = "ANOTHER";
    EXPECT_EQ(runner().run(addImage()),
              HelperResult::failed(HelperCommandError::TargetVerificationFailed{TargetVerification::Verdict{
                  TargetVerification::Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}}));
    EXPECT_FALSE(fs::exists(volumeRoot / "image.iso"));
    EXPECT_TRUE(fs::exists(volumeRoot / "listed.iso"));
}

TEST_F(MountedVolumeEngineRunnerTest, ACancelledCopyIsAnAddImageOutcome) {
    EXPECT_EQ(runner().run(addImage(), [](const HelperProgress&) {}, [] { return true; }),
              added(Outcome::Cancelled{}));
    EXPECT_TRUE(fs::is_empty(volumeRoot));
}

TEST_F(MountedVolumeEngineRunnerTest, PassesEveryOtherCommandThrough) {
    const HelperCommand detect{HelperCommand::Detect{HelperDiskRef(test::usbStick())}};
    const HelperCommand list{HelperCommand::ListImages{HelperDiskRef(test::usbStick()), test::sampleWireLayout()}};
    int progressCalls = 0;
    for (const HelperCommand& command : {detect, list}) {
        EXPECT_EQ(runner().run(command, [&](const HelperProgress&) { ++progressCalls; }, [] { return false; }),
                  privileged->answer);
    }
    EXPECT_EQ(privileged->commands, (std::vector<HelperCommand>{detect, list}));
    EXPECT_EQ(progressCalls, 2);
    EXPECT_TRUE(devices->asked.empty());
    EXPECT_TRUE(volumes->partitionsAsked.empty());
}

TEST(MountedVolumeEngineRunnerResults, MapEveryCopyResult) {
    struct Case {
        const char* name;
        Copy copy;
        HelperResult expected;
    };
    const Case cases[] = {
        {"copied", {Copy::Copied{1000000, 5, 9}},
         added(Outcome::Success{HelperImageEntry("/a.iso", "a.iso", 1000000, false), 5, 9})},
        {"sourceUnreadable", {Copy::SourceUnreadable{"errno 5 (Input/output error)"}},
         HelperResult::failed(HelperCommandError::CouldNotOpenSource{"/home/u/a.iso"})},
        {"sourceNotAFile", {Copy::SourceNotAFile{"a FIFO"}},
         added(Outcome::Invalid{"“a.iso” is a FIFO, not an image file, so nothing was copied. Pick an image file, "
                                "such as an .iso, and try again."})},
        {"rejected", {Copy::Rejected{ExfatWriteError{ExfatWriteError::EmptyName{}}}},
         added(Outcome::Invalid{userMessage(ExfatWriteError{ExfatWriteError::EmptyName{}})})},
        {"notEnoughSpace", {Copy::NotEnoughSpace{10, -1}}, added(Outcome::NotEnoughSpace{10, -1})},
        {"tooLarge", {Copy::TooLargeForFilesystem{4294967296, 4294967295}},
         added(Outcome::Invalid{"That image is larger than 4 GB, and this drive's data partition is FAT32, which "
                                "can't hold files that big. Prepare the drive with exFAT to use it."})},
        {"sourceTooShort", {Copy::SourceTooShort{10, 0}},
         added(Outcome::Invalid{"The image file ended sooner than its size said it would — it may still be "
                                "downloading, or it may be damaged. Nothing was copied."})},
        {"sourceSizeMismatch", {Copy::SourceSizeMismatch{0, 10}},
         added(Outcome::Invalid{"The image file's size changed after you picked it — it may still be downloading. "
                                "Nothing was copied. Pick the image again once it is complete."})},
        {"ioFailed", {Copy::IoFailed{"write", "write", "errno 5 (Input/output error)"}},
         added(Outcome::WriteFailed{"write", HelperBlockError(BlockError{BlockError::DeviceFailure{
                                                  "write", "errno 5 (Input/output error)"}})})},
        {"verificationFailed", {Copy::VerificationFailed{"SHA-256 mismatch"}},
         added(Outcome::VerificationFailed{"SHA-256 mismatch"})},
        {"nameNotStorable", {Copy::NameNotStorable{}},
         added(Outcome::Invalid{"That image's file name contains a character an exFAT drive can't store, such as a "
                                "colon or a question mark. Rename it and try again."})},
        {"alreadyExists", {Copy::AlreadyExists{}},
         added(Outcome::Invalid{"The drive already has a file named “a.iso”. Rename the image, or remove the copy on "
                                "the drive, and try again."})},
        {"cancelled", {Copy::Cancelled{}}, added(Outcome::Cancelled{})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MountedVolumeEngineRunner::result(c.copy, "a.iso", "/home/u/a.iso"), c.expected);
    }
}

}  // namespace
}  // namespace marlowick
