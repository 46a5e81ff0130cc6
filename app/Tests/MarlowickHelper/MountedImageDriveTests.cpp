// Adding an image to a drive prepared by the real helper program, end to end on a loop
// device (root only): prepare, detect, resolve and mount the data partition through
// udisks2 or mount(8), add a 300 MiB image with verification, compare it with cmp, list
// it, delete it, and find the file system clean with fsck.exfat afterwards. Also: what a
// killed copy left on the drive goes at the next listing or copy, a copy still running
// keeps its file, and a source that is no file is refused at once.
#include <gtest/gtest.h>

#include <future>

#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedDriveFileAccess.hpp"
#include "Files/MountedVolumeEngineRunner.hpp"
#include "Files/NotAFileSources.hpp"
#include "Files/OtherProcessLock.hpp"
#include "Files/UdisksFixture.hpp"
#include "Files/UdisksVolumeProbe.hpp"
#include "HelperEngine/EngineTestSupport.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "HelperTestDrive.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Outcome = HelperAddImageOutcome;
constexpr std::int64_t driveSectors = 2 * 1024 * 1024;  // 1 GiB
constexpr std::int64_t imageBytes = 300LL << 20;

class MountedImageOnPreparedDrive : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        if (test.find("Fat32") != std::string::npos && !MountCommandVolumeProbe::kernelKnows("vfat")) {
            GTEST_SKIP() << "this kernel has no vfat driver, so a FAT32 data partition cannot be mounted here; the "
                            "FAT32 size limit is covered by the copier's own tests";
        }
        std::string skip;
        drive = test::HelperTestDrive::attach(skip, driveSectors);
        if (!drive) GTEST_SKIP() << skip;
        trusted = test::trustedBootFiles(skip);
        if (!trusted) GTEST_SKIP() << skip;
    }
    void TearDown() override {
        if (!drive) return;
        for (const fs::path& point : mounted) (void)test::runCommand("umount -l '" + point.string() + "'");
        (void)test::runCommand("partx -d " + drive->devicePath());
    }

    // Prepares the drive with the given data file system and gives its layout as detected.
    std::optional<HelperVentoyLayout> prepare(const std::string& filesystem) {
        HelperInstallOptions options;
        options.partitionStyle = "mbr";
        options.dataFilesystem = filesystem;
        const HelperResult prepared =
            helper->run(HelperCommand{HelperCommand::Prepare{drive->disk(), trusted->assets, options, std::nullopt}});
        const auto* operation = std::get_if<HelperResult::DriveOperation>(&prepared.value);
        if (operation == nullptr || !operation->report.overallSuccess) {
            ADD_FAILURE() << ::testing::PrintToString(prepared);
            return std::nullopt;
        }
        const HelperResult detected = helper->run(HelperCommand{HelperCommand::Detect{drive->disk()}});
        const auto* status = std::get_if<HelperResult::Detected>(&detected.value);
        const auto* ventoy = status != nullptr ? std::get_if<HelperDriveStatus::Ventoy>(&status->status.value) : nullptr;
        if (ventoy == nullptr) {
            ADD_FAILURE() << ::testing::PrintToString(detected);
            return std::nullopt;
        }
        // The kernel lists a loop device's partitions only when asked.
        (void)test::runCommand("partx -a " + drive->devicePath());
        return ventoy->layout;
    }

    // Unmounts the data partition and has fsck.exfat check it.
    void expectCleanOnceUnmounted(const fs::path& root) {
        ASSERT_EQ(test::runCommand("umount '" + root.string() + "'").exitCode, 0);
        mounted.clear();
        const test::CommandOutput checked =
            test::runCommand("PATH=\"$PATH:/usr/sbin:/sbin\" fsck.exfat -n " + drive->devicePath() + "p1");
        EXPECT_EQ(checked.exitCode, 0) << checked.output;
    }

    // The mount point of the drive's data partition, once something has mounted it.
    std::optional<fs::path> dataRoot(VolumeMountProbe& volumes) {
        for (const PartitionVolumeInfo& partition : volumes.partitions(drive->disk().rawDevicePath.substr(5))) {
            if (partition.mountPoint) return partition.mountPoint;
        }
        return std::nullopt;
    }

    std::shared_ptr<VolumeMountProbe> probeFor(std::string& whyNot) {
        if (std::string(GetParam()) == "mount") {
            return std::make_shared<MountCommandVolumeProbe>(std::chrono::seconds(120), mounts.path().string());
        }
        udisks = test::UdisksFixture::start(whyNot);
        if (!udisks) return nullptr;
        if (!udisks->waitForType(drive->devicePath() + "p1", "exfat")) {
            whyNot = "udisks did not see the data partition's file system";
            return nullptr;
        }
        return std::make_shared<UdisksVolumeProbe>(std::chrono::seconds(120));
    }

    std::unique_ptr<test::HelperTestDrive> drive;
    std::optional<test::TrustedBootFiles> trusted;
    std::shared_ptr<HelperEngineRunner> helper{test::helperProgramRunner()};
    std::unique_ptr<test::UdisksFixture> udisks;
    test::TempDir mounts;
    test::TempDir sources;
    std::vector<fs::path> mounted;
};

TEST_P(MountedImageOnPreparedDrive, AddsListsAndDeletesAVerifiedImage) {
    const std::optional<HelperVentoyLayout> layout = prepare("exfat");
    ASSERT_TRUE(layout);
    std::string whyNot;
    const std::shared_ptr<VolumeMountProbe> volumes = probeFor(whyNot);
    if (!volumes) GTEST_SKIP() << whyNot;
    const auto devices = std::make_shared<SysfsDeviceProbe>();
    MountedVolumeEngineRunner runner(helper, devices, volumes, MountedImageCopier(MountedImageCopier::defaultChunkBytes));

    const fs::path source = sources.file("linux.iso");
    ASSERT_EQ(test::runCommand("head -c " + std::to_string(imageBytes) + " /dev/urandom > '" + source.string() + "'")
                  .exitCode,
              0);
    std::vector<HelperProgress> progress;
    const HelperResult added = runner.run(
        HelperCommand{HelperCommand::AddImage{drive->disk(), *layout, "linux.iso", imageBytes, source.string(), true}},
        [&progress](const HelperProgress& p) { progress.push_back(p); }, [] { return false; });
    const auto* addImage = std::get_if<HelperResult::AddImage>(&added.value);
    ASSERT_TRUE(addImage) << ::testing::PrintToString(added);
    const auto* success = std::get_if<Outcome::Success>(&addImage->outcome.value);
    ASSERT_TRUE(success) << ::testing::PrintToString(added);
    EXPECT_EQ(success->image, HelperImageEntry("/linux.iso", "linux.iso", imageBytes, false));
    EXPECT_GT(success->totalBytes, success->freeBytesAfter);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), HelperProgress(HelperProgress::Stage::verifyImage, imageBytes, imageBytes));

    const std::optional<fs::path> root = dataRoot(*volumes);
    ASSERT_TRUE(root);
    mounted.push_back(*root);
    EXPECT_EQ(test::runCommand("cmp '" + source.string() + "' '" + (*root / "linux.iso").string() + "'").exitCode, 0);

    MountedDriveFileAccess access(devices, volumes);
    EXPECT_EQ(access.listImages(drive->disk(), *layout),
              DriveFileOutcome<std::vector<HelperImageEntry>>::done({success->image}));

    // A cancel during the read-back leaves nothing behind on the real volume.
    bool verifying = false;
    const HelperResult cancelled = runner.run(
        HelperCommand{HelperCommand::AddImage{drive->disk(), *layout, "again.iso", imageBytes, source.string(), true}},
        [&verifying](const HelperProgress& p) { verifying = p.stage == HelperProgress::Stage::verifyImage; },
        [&verifying] { return verifying; });
    EXPECT_EQ(cancelled, (HelperResult{HelperResult::AddImage{Outcome{Outcome::Cancelled{}}}}));

    const auto removed = access.remove({*VolumePath::parse("/linux.iso")}, drive->disk(), *layout, [] { return false; });
    ASSERT_TRUE(removed.doneValue());
    EXPECT_EQ(removed.doneValue()->removedBytes(), imageBytes);
    const auto left = access.list(VolumePath::root, drive->disk(), *layout);
    ASSERT_TRUE(left.doneValue());
    EXPECT_TRUE(left.doneValue()->empty());
    EXPECT_EQ(test::runCommand("ls -A '" + root->string() + "'").output, "");

    expectCleanOnceUnmounted(*root);
}

TEST_P(MountedImageOnPreparedDrive, OnFat32RefusesAnImageOver4GiBBeforeWriting) {
    const std::optional<HelperVentoyLayout> layout = prepare("fat32");
    ASSERT_TRUE(layout);
    std::string whyNot;
    const std::shared_ptr<VolumeMountProbe> volumes = probeFor(whyNot);
    if (!volumes) GTEST_SKIP() << whyNot;
    MountedVolumeEngineRunner runner(helper, std::make_shared<SysfsDeviceProbe>(), volumes,
                                     MountedImageCopier(MountedImageCopier::defaultChunkBytes));
    const fs::path huge = sources.file("huge.iso");
    test::createSparseFile(huge, 4294967297);
    const HelperResult refused = runner.run(
        HelperCommand{HelperCommand::AddImage{drive->disk(), *layout, "huge.iso", 4294967297, huge.string(), true}});
    EXPECT_EQ(refused, (HelperResult{HelperResult::AddImage{Outcome{Outcome::Invalid{
                           "That image is larger than 4 GB, and this drive's data partition is FAT32, which can't "
                           "hold files that big. Prepare the drive with exFAT to use it."}}}}));
    for (const PartitionVolumeInfo& partition : volumes->partitions(drive->disk().rawDevicePath.substr(5))) {
        if (!partition.mountPoint) continue;
        mounted.push_back(*partition.mountPoint);
        EXPECT_EQ(test::runCommand("ls -A '" + partition.mountPoint->string() + "'").output, "");
    }
}

std::vector<std::string> partialFilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".marlowick-partial-")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A copy killed mid-way (power cut, kill) left its partial file on the drive. The next
// listing removes it and the next copy removes another, without showing either as an
// image; the partial files of a copy still running, in this process or in another, stay.
TEST_P(MountedImageOnPreparedDrive, ListingAndCopyingRemovePartialFilesNoCopyIsWriting) {
    const std::optional<HelperVentoyLayout> layout = prepare("exfat");
    ASSERT_TRUE(layout);
    std::string whyNot;
    const std::shared_ptr<VolumeMountProbe> volumes = probeFor(whyNot);
    if (!volumes) GTEST_SKIP() << whyNot;
    const auto devices = std::make_shared<SysfsDeviceProbe>();
    MountedVolumeEngineRunner runner(helper, devices, volumes, MountedImageCopier(1 << 20));
    MountedDriveFileAccess access(devices, volumes);
    using Images = DriveFileOutcome<std::vector<HelperImageEntry>>;
    ASSERT_EQ(access.listImages(drive->disk(), *layout), Images::done({}));
    const std::optional<fs::path> root = dataRoot(*volumes);
    ASSERT_TRUE(root);
    mounted.push_back(*root);

    const std::string stale = ".marlowick-partial-0badf00d";
    const std::string otherProcess = ".marlowick-partial-11111111";
    test::writeFile(*root / stale, std::vector<std::uint8_t>(1 << 20, 0xAB));
    test::writeFile(*root / otherProcess, std::vector<std::uint8_t>(1 << 20, 0xCD));
    std::unique_ptr<test::OtherProcessLock> held = test::OtherProcessLock::take(*root / otherProcess);
    ASSERT_TRUE(held) << "no process could lock a file on this mount";

    // A copy of our own, paused at its first progress report with its partial file written to.
    const fs::path live = sources.file("live.iso");
    test::writeFile(live, std::vector<std::uint8_t>(8 << 20, 0x11));
    std::promise<void> paused;
    std::promise<void> resume;
    std::shared_future<void> resumed = resume.get_future().share();
    bool pausedOnce = false;
    std::future<HelperResult> copying = std::async(std::launch::async, [&] {
        return runner.run(
            HelperCommand{HelperCommand::AddImage{drive->disk(), *layout, "live.iso", 8 << 20, live.string(), true}},
            [&](const HelperProgress&) {
                if (pausedOnce) return;
                pausedOnce = true;
                paused.set_value();
                resumed.wait();
            },
            [] { return false; });
    });
    ASSERT_EQ(paused.get_future().wait_for(std::chrono::seconds(120)), std::future_status::ready);
    std::vector<std::string> copyingNow = partialFilesIn(*root);
    std::erase(copyingNow, stale);
    std::erase(copyingNow, otherProcess);
    ASSERT_EQ(copyingNow.size(), 1u);

    EXPECT_EQ(access.listImages(drive->disk(), *layout), Images::done({}));
    std::vector<std::string> kept{copyingNow[0], otherProcess};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(partialFilesIn(*root), kept);
    resume.set_value();
    const HelperResult copied = copying.get();
    ASSERT_TRUE(std::holds_alternative<HelperResult::AddImage>(copied.value)) << ::testing::PrintToString(copied);
    EXPECT_TRUE(std::holds_alternative<Outcome::Success>(std::get<HelperResult::AddImage>(copied.value).outcome.value))
        << ::testing::PrintToString(copied);

    test::writeFile(*root / stale, std::vector<std::uint8_t>(1 << 20, 0xAB));
    const HelperResult after = runner.run(
        HelperCommand{HelperCommand::AddImage{drive->disk(), *layout, "after.iso", 8 << 20, live.string(), true}});
    ASSERT_TRUE(std::holds_alternative<HelperResult::AddImage>(after.value)) << ::testing::PrintToString(after);
    EXPECT_EQ(partialFilesIn(*root), std::vector<std::string>{otherProcess});

    held.reset();
    EXPECT_EQ(access.listImages(drive->disk(), *layout),
              Images::done({HelperImageEntry("/after.iso", "after.iso", 8 << 20, false),
                            HelperImageEntry("/live.iso", "live.iso", 8 << 20, false)}));
    EXPECT_EQ(test::runCommand("ls -A '" + root->string() + "'").output, "after.iso\nlive.iso\n");

    expectCleanOnceUnmounted(*root);
}

// Picked as the image, none of these is a file: each is refused at once, in words that say
// what it is, before the drive is mounted or a byte of it changes.
TEST_P(MountedImageOnPreparedDrive, RefusesAnImageThatIsNoFileAtOnceWithTheDriveUnchanged) {
    const std::optional<HelperVentoyLayout> layout = prepare("exfat");
    ASSERT_TRUE(layout);
    std::string whyNot;
    const std::shared_ptr<VolumeMountProbe> volumes = probeFor(whyNot);
    if (!volumes) GTEST_SKIP() << whyNot;
    MountedVolumeEngineRunner runner(helper, std::make_shared<SysfsDeviceProbe>(), volumes,
                                     MountedImageCopier(MountedImageCopier::defaultChunkBytes));
    const std::vector<test::NotAFileSource> notFiles = test::makeNotAFileSources(sources.path());
    ASSERT_FALSE(notFiles.empty());
    const std::string before = drive->sha256();
    for (const test::NotAFileSource& source : notFiles) {
        SCOPED_TRACE(source.name);
        const std::string name = source.path.filename().string();
        std::optional<HelperResult> result;
        const bool finished = test::finishesWithin(
            std::chrono::seconds(10),
            [&] {
                result = runner.run(HelperCommand{
                    HelperCommand::AddImage{drive->disk(), *layout, name, 0, source.path.string(), true}});
            },
            notFiles);
        EXPECT_TRUE(finished) << "adding the image waited on it";
        EXPECT_EQ(result, (HelperResult{HelperResult::AddImage{Outcome{Outcome::Invalid{
                              "“" + name + "” is " + source.kind +
                              ", not an image file, so nothing was copied. Pick an image file, such as an .iso, and "
                              "try again."}}}}));
    }
    EXPECT_EQ(dataRoot(*volumes), std::nullopt) << "the data partition was mounted";
    EXPECT_EQ(drive->sha256(), before) << "the drive changed";
}

INSTANTIATE_TEST_SUITE_P(Probes, MountedImageOnPreparedDrive, ::testing::Values("udisks", "mount"));

}  // namespace
}  // namespace marlowick
