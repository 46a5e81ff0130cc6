// The home model on real threads against a real drive: a loop device, the helper program
// started as root through the application's runner, boot files acquired by the real
// acquirer from a release archive made here and vouched for by a registry signed with the
// tests' key. Every result comes back through the main executor, which the test drains.
// Images are added, and listed, on the data partition mounted by the application's own
// runner and file access, as the application does it.

#include <gtest/gtest.h>

#include <algorithm>

#include "Assets/RegistrySigning.hpp"
#include "Assets/ReleaseArchive.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "Block/SysfsDiskScanner.hpp"
#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedDriveFileAccess.hpp"
#include "Files/MountedVolumeEngineRunner.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "Home/DriveImageListing.hpp"
#include "HelperClient/PrivilegedSubprocessEngineRunner.hpp"
#include "Home/HomeViewModel.hpp"
#include "HelperProgramSession.hpp"
#include "HelperTestDrive.hpp"
#include "Install/VentoyInstallFixture.hpp"
#include "Support/ManualExecutor.hpp"
#include "Support/ReleaseRegistry.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using namespace std::chrono_literals;
using Kind = HomeOperationKind;

constexpr const char* releaseVersion = "1.1.90";
constexpr auto operationTimeout = 300s;

class HomeViewModelOnDrive : public ::testing::Test {
protected:
    void SetUp() override {
        std::string skip;
        if (VentoyRegistrySignature::pinnedPublicKeyBase64 != test::registryTestPublicKeyBase64()) {
            GTEST_SKIP() << "this build does not trust the tests' registry key";
        }
        if (!test::canMakeReleaseArchive()) GTEST_SKIP() << "needs tar, xz and gzip";
        fixture = test::VentoyFixture::make(skip, releaseVersion);
        if (!fixture) GTEST_SKIP() << skip;
        drive = test::HelperTestDrive::attach(skip);
        if (!drive) GTEST_SKIP() << skip;

        const test::ReleaseArchive archive = test::ReleaseArchive::pack(
            releaseVersion, {{VentoyAsset::bootImg, fixture->bootImg},
                             {VentoyAsset::coreImg, fixture->coreImg},
                             {VentoyAsset::ventoyDiskImg, fixture->ventoyDiskImg}});
        archiveBytes = archive.archive;
        const VentoyReleaseManifest manifest = archive.manifest("https://github.com/ventoy/Ventoy/releases/download");
        const test::Bytes payload = test::registryDocument({testing::registryRecord(manifest)});
        const VentoyRegistryCache cache(folder.path() / "ventoy-registry");
        ASSERT_EQ(cache.store(payload, test::opensslSign(payload, test::registryTestPrivateKey())), std::nullopt);
        catalog = std::make_shared<VentoyCatalogModel>(
            main.executor(), VentoyCatalogModel::Options{
                                 .cache = cache,
                                 .buildNumber = "42",
                                 .registryEnabled = true,
                                 .publicKeyBase64 = test::registryTestPublicKeyBase64(),
                                 .registryUrl = "https://content.marlowick.test/marlowick/data/ventoy.v1.json",
                                 .fetch = [](const std::string&) -> std::vector<std::uint8_t> {
                                     throw std::runtime_error("offline");
                                 }});
        ASSERT_EQ(catalog->recommended().version(), releaseVersion);

        privileged = std::make_shared<PrivilegedSubprocessEngineRunner>(
            test::helperProgramPath, PrivilegedSubprocessEngineRunner::Elevation::alreadyRoot);
        model = HomeViewModel::create(main.executor(), arguments());
        model->observers().subscribe([this](HomeViewModel::Property property) {
            if (property == HomeViewModel::Property::state) states.push_back(model->state());
        });
    }

    virtual HomeViewModel::Arguments arguments() {
        const std::shared_ptr<VentoyReleaseCatalog> releases = catalog->catalog();
        const std::filesystem::path cacheRoot = folder.path() / "cache";
        const std::vector<std::uint8_t> bytes = archiveBytes;
        return HomeViewModel::Arguments{
            .runner = privileged,
            .disk = std::nullopt,
            .initialState = HomeDriveState::NoDrive{},
            .driveVisibility = DriveVisibility::allExternal,
            .includeFixedStorage = false,
            .verifyCopiedImages = true,
            .listDisks = [] { return SysfsDiskScanner().scan(); },
            .pickImageFile = [this] { return imageToPick; },
            .pickRawImageFile = [this] { return imageToPick; },
            .ejectDisk = [](const HelperDiskRef&) {},
            .isAssetCached = [](const std::optional<std::string>&) { return false; },
            .acquireAssets =
                [releases, cacheRoot, bytes](const std::optional<std::string>& version,
                                             const VentoyAssetAcquirer::PhaseCallback& onPhase,
                                             const std::function<bool()>& isCancelled) {
                    // The archive from this test's own bytes instead of the release host.
                    const VentoyAssetAcquirer acquirer(
                        releases->manifest(version), cacheRoot,
                        [bytes](const VentoyAssetAcquirer::ProgressCallback& progress,
                                const VentoyAssetAcquirer::CancelQuery&) {
                            progress(0.5);
                            progress(1.0);
                            return bytes;
                        });
                    return acquirer.acquire(onPhase, isCancelled);
                },
            .listDriveImages = {},
            .fileAccess = {},
            .catalog = catalog,
            .startBackground = {},
            .clock = {},
        };
    }

    // Drains the main executor until `done` holds; fails the test on time-out.
    void runUntil(const std::function<bool()>& done, const char* what) {
        ASSERT_TRUE(main.runUntil(done, std::chrono::duration_cast<std::chrono::milliseconds>(operationTimeout)))
            << "waited in vain for " << what << "; state " << ::testing::PrintToString(model->state());
    }

    [[nodiscard]] bool settled() const {
        return !model->state().is<HomeDriveState::Detecting>() && !model->state().is<HomeDriveState::NoDrive>();
    }

    // Scans, selects the test's drive (the scan may list other loop devices too) and
    // waits for its detection.
    void scanAndSelect() {
        model->refreshDisks();
        const auto& offered = model->availableDisks();
        const auto ours = std::find_if(offered.begin(), offered.end(), [&](const DiscoveredDisk& disk) {
            return disk.bsdName == std::filesystem::path(drive->devicePath()).filename().string();
        });
        ASSERT_NE(ours, offered.end()) << "the scan did not list " << drive->devicePath();
        if (model->disk() != HelperDiskRef(*ours)) model->selectDisk(*ours);
        runUntil([&] { return settled(); }, "the detection");
        runUntil([&] { return main.pending() == 0 && model->helperListingsInFlight() == 0; }, "quiet");
    }

    // Confirms the pending operation and waits for its end.
    HomeOperationOutcome confirmAndWait(Kind kind) {
        EXPECT_EQ(model->pendingOperation(), kind);
        states.clear();
        model->confirmPendingOperation();
        runUntil([&] { return model->state().is<HomeDriveState::Done>(); }, "the operation's end");
        const auto* done = std::get_if<HomeDriveState::Done>(&model->state().value);
        if (done == nullptr) return HomeOperationOutcome::failed("no end");
        EXPECT_EQ(done->kind, kind);
        return done->outcome;
    }

    // Every fraction shown, in order, never going back and ending at 1; a time left shown
    // at least once, and always within reason for the work.
    void expectForwardProgressWithASaneTimeLeft(const char* what) {
        const std::vector<HomeOperationProgress> seen = progressSeen();
        ASSERT_FALSE(seen.empty());
        EXPECT_GT(seen.front().fraction, 0.0);
        EXPECT_DOUBLE_EQ(seen.back().fraction, 1.0);
        bool timeLeftShown = false;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            if (i > 0) {
                EXPECT_LE(seen[i - 1].fraction, seen[i].fraction) << seen[i].stageLabel;
            }
            if (!seen[i].etaSeconds) continue;
            timeLeftShown = true;
            EXPECT_GT(*seen[i].etaSeconds, 0);
            EXPECT_LT(*seen[i].etaSeconds, 600) << what;
        }
        EXPECT_TRUE(timeLeftShown) << "no time left was ever shown for " << what;
    }

    [[nodiscard]] std::vector<HomeOperationProgress> progressSeen() const {
        std::vector<HomeOperationProgress> seen;
        for (const HomeDriveState& state : states) {
            if (const auto* running = std::get_if<HomeDriveState::OperationRunning>(&state.value)) {
                seen.push_back(running->progress);
            }
        }
        return seen;
    }

    // Detects the drive again, as the done screen's button does, and waits for the answer.
    void detectAgain() {
        model->primaryAction();
        runUntil([&] { return settled(); }, "the detection");
        runUntil([&] { return model->helperListingsInFlight() == 0 && main.pending() == 0; }, "quiet");
    }

    std::filesystem::path writeImage(const std::string& name, std::size_t bytes) {
        const std::filesystem::path path = folder.path() / name;
        std::vector<std::uint8_t> content(bytes);
        for (std::size_t i = 0; i < bytes; ++i) content[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 13);
        test::writeFile(path, content);
        return path;
    }

    test::TempDir folder;
    testing::ManualExecutor main;
    std::unique_ptr<test::VentoyFixture> fixture;
    std::unique_ptr<test::HelperTestDrive> drive;
    std::vector<std::uint8_t> archiveBytes;
    std::shared_ptr<VentoyCatalogModel> catalog;
    std::shared_ptr<HelperEngineRunner> privileged;
    std::optional<std::filesystem::path> imageToPick;
    std::vector<HomeDriveState> states;
    std::shared_ptr<HomeViewModel> model;
};

TEST_F(HomeViewModelOnDrive, PreparesTheDriveFromScanToReady) {
    scanAndSelect();
    ASSERT_TRUE(model->state().is<HomeDriveState::Prepare>()) << ::testing::PrintToString(model->state());

    model->primaryAction();
    EXPECT_EQ(confirmAndWait(Kind::prepare), HomeOperationOutcome::succeeded("USB ready"));

    const std::vector<HomeOperationProgress> seen = progressSeen();
    ASSERT_FALSE(seen.empty());
    EXPECT_DOUBLE_EQ(seen.front().fraction, 0.02);
    EXPECT_DOUBLE_EQ(seen.back().fraction, 1.0);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1].fraction, seen[i].fraction) << seen[i - 1].stageLabel << " → " << seen[i].stageLabel;
    }
    const auto labelled = [&](const std::string& label) {
        return std::any_of(seen.begin(), seen.end(), [&](const HomeOperationProgress& p) { return p.stageLabel == label; });
    };
    EXPECT_TRUE(labelled("Downloading Ventoy 1.1.90…"));
    EXPECT_TRUE(labelled("Formatting data partition…"));

    ASSERT_TRUE(model->lastDiagnostics().has_value());
    const std::string report = model->lastDiagnostics()->rendered(folder.path().string());
    EXPECT_NE(report.find("operation: Prepare \u2014 succeeded"), std::string::npos) << report;
    EXPECT_NE(report.find("drive: " + std::filesystem::path(drive->devicePath()).filename().string() + ", " +
                          std::to_string(test::HelperTestDrive::sectorCount * 512) + " bytes, 512B sectors"),
              std::string::npos)
        << report;

    detectAgain();
    const auto* ready = std::get_if<HomeDriveState::VentoyReady>(&model->state().value);
    ASSERT_NE(ready, nullptr) << ::testing::PrintToString(model->state());
    EXPECT_EQ(ready->installedVersion, releaseVersion);
    EXPECT_EQ(model->driveImages(), std::vector<HelperImageEntry>{}) << "listed through the helper program";

    // Remove Ventoy, back to one plain volume.
    model->invokeDriveMenuCommand(DriveMenuCommand::removeVentoy);
    EXPECT_EQ(confirmAndWait(Kind::removeVentoy), HomeOperationOutcome::succeeded("Ventoy removed"));
    detectAgain();
    EXPECT_TRUE(model->state().is<HomeDriveState::Prepare>()) << ::testing::PrintToString(model->state());
}

TEST_F(HomeViewModelOnDrive, WritesARawImageWithATimeLeft) {
    scanAndSelect();
    imageToPick = writeImage("disk.img", 48 * 1024 * 1024);
    model->invokeDriveMenuCommand(DriveMenuCommand::writeRawImage);
    ASSERT_FALSE(model->rawWriteBlockedMessage().has_value()) << *model->rawWriteBlockedMessage();

    const HomeOperationOutcome outcome = confirmAndWait(Kind::writeRawImage);
    ASSERT_TRUE(outcome.isSuccess()) << render(outcome);
    EXPECT_TRUE(outcome.text().starts_with("Image written")) << outcome.text();
    EXPECT_TRUE(drive->startsWith(*imageToPick));
    expectForwardProgressWithASaneTimeLeft("48 MiB to a loop device");
}

TEST_F(HomeViewModelOnDrive, ACancelledPrepareShowsWhatIsOnTheDrive) {
    scanAndSelect();
    model->primaryAction();
    model->confirmPendingOperation();
    // Cancel once the helper program is at work.
    runUntil(
        [&] {
            const auto* running = std::get_if<HomeDriveState::OperationRunning>(&model->state().value);
            return running != nullptr && running->progress.fraction > 0.62;
        },
        "the helper's first stage");
    model->cancelOperation();
    EXPECT_TRUE(model->state().is<HomeDriveState::Prepare>()) << "cancel puts the screen back at once";
    states.clear();
    runUntil([&] { return !states.empty() && settled(); }, "the detection after the cancelled prepare");
    EXPECT_EQ(states.front(), HomeDriveState(HomeDriveState::Detecting{}));
    EXPECT_FALSE(model->lastDiagnostics().has_value());
}

// The same road with the application's mounted-volume runner around the helper program's
// and its file access listing the images: the data partition is resolved, mounted with
// mount(8) into a folder of the test's and copied to in this process.
class HomeViewModelOnMountedDrive : public HomeViewModelOnDrive {
protected:
    HomeViewModel::Arguments arguments() override {
        HomeViewModel::Arguments made = HomeViewModelOnDrive::arguments();
        const auto devices = std::make_shared<SysfsDeviceProbe>();
        const auto volumes = std::make_shared<MountCommandVolumeProbe>(std::chrono::seconds(120), mounts.path().string());
        made.runner = std::make_shared<MountedVolumeEngineRunner>(privileged, devices, volumes,
                                                                  MountedImageCopier(MountedImageCopier::defaultChunkBytes));
        made.listDriveImages = driveImageListing(std::make_shared<MountedDriveFileAccess>(devices, volumes));
        return made;
    }
    void TearDown() override {
        if (!drive) return;
        (void)test::runCommand("umount -l '" + dataRoot().string() + "' 2>/dev/null");
        (void)test::runCommand("partx -d " + drive->devicePath());
    }
    [[nodiscard]] std::filesystem::path dataRoot() const {
        return mounts.path() / (std::filesystem::path(drive->devicePath()).filename().string() + "p1");
    }

    test::TempDir mounts;
};

TEST_F(HomeViewModelOnMountedDrive, AddsListsAndRemovesThroughTheMountedVolume) {
    scanAndSelect();
    model->primaryAction();
    ASSERT_EQ(confirmAndWait(Kind::prepare), HomeOperationOutcome::succeeded("USB ready"));
    // The kernel lists a loop device's partitions only when asked.
    ASSERT_EQ(test::runCommand("partx -a " + drive->devicePath()).exitCode, 0);
    detectAgain();
    ASSERT_TRUE(model->state().is<HomeDriveState::VentoyReady>()) << ::testing::PrintToString(model->state());
    // The listing runs on a thread of its own, after the detection.
    runUntil([&] { return model->driveImages() == std::vector<HelperImageEntry>{}; }, "the empty image listing");

    constexpr std::int64_t imageBytes = 64LL << 20;
    imageToPick = writeImage("linux.iso", imageBytes);
    states.clear();
    model->primaryAction();  // a ready drive's action: add an image, no confirmation
    runUntil([&] { return model->state().is<HomeDriveState::Done>(); }, "the image's copy");
    const auto* done = std::get_if<HomeDriveState::Done>(&model->state().value);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->kind, Kind::addImage);
    EXPECT_EQ(done->outcome, HomeOperationOutcome::succeeded("Added linux.iso"));
    expectForwardProgressWithASaneTimeLeft("64 MiB to a loop device");
    EXPECT_EQ(test::runCommand("cmp '" + imageToPick->string() + "' '" + (dataRoot() / "linux.iso").string() + "'")
                  .exitCode,
              0);

    ASSERT_TRUE(model->lastDiagnostics().has_value());
    const DiagnosticReport::Environment& environment = HomeViewModel::diagnosticEnvironment();
    EXPECT_EQ(model->lastDiagnostics()->rendered(folder.path().string()),
              "Marlowick diagnostics\n"
              "app: " + environment.appVersion + " (" + environment.buildNumber + ")  Linux: " + environment.osVersion +
                  "\n"
                  "operation: Add an image \u2014 succeeded\n"
                  "drive: " + std::filesystem::path(drive->devicePath()).filename().string() + ", " +
                  std::to_string(test::HelperTestDrive::sectorCount * 512) +
                  " bytes, 512B sectors, Virtual Interface, fixed, identity=unit\n"
                  "details: none recorded");

    detectAgain();
    const std::vector<HelperImageEntry> added{HelperImageEntry("/linux.iso", "linux.iso", imageBytes, false)};
    runUntil([&] { return model->driveImages() == added; }, "the listing of the added image");

    // Everything else still goes to the helper program, the mounted data partition included.
    model->invokeDriveMenuCommand(DriveMenuCommand::removeVentoy);
    EXPECT_EQ(confirmAndWait(Kind::removeVentoy), HomeOperationOutcome::succeeded("Ventoy removed"));
    detectAgain();
    EXPECT_TRUE(model->state().is<HomeDriveState::Prepare>()) << ::testing::PrintToString(model->state());
}

}  // namespace
}  // namespace marlowick
