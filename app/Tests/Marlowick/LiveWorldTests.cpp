// The program in the real world, as root, end to end on a loop device: installed as an
// installation lays it out (so that it finds its helper beside its prefix and, being root,
// starts it as a plain child), with a cache that holds a registry signed with the tests'
// key and the boot files the real acquirer stored, and no network. Driven through its
// windows; the drive is then judged by outside tools.

#include <gtest/gtest.h>

#include <signal.h>

#include <QThread>
#include <filesystem>
#include <fstream>

#include "Assets/ApplicationCacheRoot.hpp"
#include "Assets/RegistrySigning.hpp"
#include "Assets/ReleaseArchive.hpp"
#include "Download/VentoyAssetAcquirer.hpp"
#include "Assets/VentoyRegistryCache.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "HelperProgramSession.hpp"
#include "HelperTestDrive.hpp"
#include "Home/UnavailableEngineRunner.hpp"
#include "Install/VentoyInstallFixture.hpp"
#include "LiveWorld.hpp"
#include "MarlowickApp.hpp"
#include "Support/ManualExecutor.hpp"
#include "Support/ReleaseRegistry.hpp"
#include "WidgetSupport/ProgramDriver.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using testing::ProgramDriver;

constexpr const char* releaseVersion = "1.1.90";
class LiveWorldOnLoop : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_ROOT();
        if (VentoyRegistrySignature::pinnedPublicKeyBase64 != test::registryTestPublicKeyBase64()) {
            GTEST_SKIP() << "this build does not trust the tests' registry key";
        }
        if (!test::canMakeReleaseArchive()) GTEST_SKIP() << "needs tar, xz and gzip";
        std::string skip;
        fixture = test::VentoyFixture::make(skip, releaseVersion);
        if (!fixture) GTEST_SKIP() << skip;
        drive = test::HelperTestDrive::attach(skip);
        if (!drive) GTEST_SKIP() << skip;
        loopName = fs::path(drive->devicePath()).filename().string();

        // The cache the program finds under XDG_CACHE_HOME: a signed registry whose one
        // release is this archive, and that release's boot files stored by the acquirer.
        const fs::path cacheRoot = home.path() / "cache" / ApplicationCacheRoot::directoryName;
        ASSERT_EQ(ApplicationCacheRoot::makePrivateDirectories(cacheRoot), std::nullopt);
        const test::ReleaseArchive archive = test::ReleaseArchive::pack(
            releaseVersion, {{VentoyAsset::bootImg, fixture->bootImg},
                             {VentoyAsset::coreImg, fixture->coreImg},
                             {VentoyAsset::ventoyDiskImg, fixture->ventoyDiskImg}});
        const VentoyReleaseManifest manifest = archive.manifest("https://github.com/ventoy/Ventoy/releases/download");
        nlohmann::json record = testing::registryRecord(manifest);
        record["minimumAppVersion"] = 1;  // this build has no build number of its own
        const test::Bytes payload = test::registryDocument({record});
        const VentoyRegistryCache registry(cacheRoot / VentoyRegistryCache::directoryName);
        ASSERT_EQ(registry.store(payload, test::opensslSign(payload, test::registryTestPrivateKey())), std::nullopt);
        const std::vector<std::uint8_t> archiveBytes = archive.archive;
        const VentoyAssetAcquirer acquirer(manifest, cacheRoot,
                                           [archiveBytes](const VentoyAssetAcquirer::ProgressCallback& progress,
                                                          const VentoyAssetAcquirer::CancelQuery&) {
                                               progress(1.0);
                                               return archiveBytes;
                                           });
        const VentoyAcquisitionResult acquired = acquirer.acquire([](const VentoyAcquisitionPhase&) {});
        ASSERT_TRUE(std::holds_alternative<VentoyAcquisitionResult::Acquired>(acquired.value))
            << ::testing::PrintToString(acquired);

        // Loop devices are no USB drives: the setting that offers every external disk.
        fs::create_directories(home.path() / "config" / "Marlowick");
        std::ofstream(home.path() / "config" / "Marlowick" / "Marlowick.conf") << "[General]\nShowNonUsbDisks=true\n";

        // The installed layout: <prefix>/bin/marlowick and its helper in libexec.
        prefix = home.path() / "prefix";
        fs::create_directories(prefix / "bin");
        fs::create_directories(prefix / "libexec" / "marlowick");
        fs::copy_file(MARLOWICK_PROGRAM_PATH, prefix / "bin" / "marlowick");
        fs::copy_file(test::helperProgramPath, prefix / "libexec" / "marlowick" / "marlowick-helper");

        image = home.path() / "rescue.iso";
        std::vector<std::uint8_t> content(3 * 1024 * 1024 + 123);
        for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 13);
        test::writeFile(image, content);
    }

    void TearDown() override {
        if (!drive) return;
        // Whatever the program mounted from the drive's partitions, then the partitions.
        const test::CommandOutput mounts = test::runCommand("findmnt -rn -o TARGET,SOURCE");
        std::istringstream lines(mounts.output);
        for (std::string target, source; lines >> target >> source;) {
            if (source.rfind(drive->devicePath() + "p", 0) == 0) (void)test::runCommand("umount -l '" + target + "'");
        }
        (void)test::runCommand("partx -d " + drive->devicePath());
    }

    // Reads the Drive menu until it is `expected`; the last reading. Other work on this
    // machine may have loop devices attached: then the picker lists them all, and the test
    // picks its own.
    std::string awaitDriveMenu(ProgramDriver& app, const std::string& expected, int milliseconds = 120'000) {
        return app.awaitDriveMenu(expected, milliseconds, [this, &app] {
            if (app.send("state home.picker.row." + loopName).starts_with("ok visible=1")) {
                (void)app.send("click home.picker.row." + loopName);
            }
        });
    }

    // A catalog of the built-in releases alone: no registry, no network.
    std::shared_ptr<VentoyCatalogModel> offlineCatalog(testing::ManualExecutor& main) const {
        return std::make_shared<VentoyCatalogModel>(
            main.executor(), VentoyCatalogModel::Options{.cache = VentoyRegistryCache(home.path() / "no-registry"),
                                                         .buildNumber = std::nullopt,
                                                         .registryEnabled = false,
                                                         .publicKeyBase64 = {},
                                                         .registryUrl = {},
                                                         .fetch = {}});
    }

    // Lists the drives through the model, picks this test's loop device and waits for its
    // detection to end.
    void pickOurDrive(HomeViewModel& model, testing::ManualExecutor& main) const {
        model.refreshDisks();
        const auto& offered = model.availableDisks();
        const auto ours = std::find_if(offered.begin(), offered.end(),
                                       [&](const DiscoveredDisk& disk) { return disk.bsdName == loopName; });
        ASSERT_NE(ours, offered.end()) << "the scan did not list " << drive->devicePath();
        if (model.disk() != HelperDiskRef(*ours)) model.selectDisk(*ours);
        ASSERT_TRUE(main.runUntil([&] {
            return !model.state().is<HomeDriveState::Detecting>() && !model.state().is<HomeDriveState::NoDrive>();
        }));
    }

    // Acknowledges and confirms the open confirmation sheet.
    void confirm(ProgramDriver& app) {
        ASSERT_EQ(app.send("wait home.confirm.sheet 10000"), "ok");
        ASSERT_EQ(app.send("click home.confirm.acknowledge"), "ok");
        ASSERT_EQ(app.send("click home.confirm.action"), "ok");
    }

    test::TempDir home;
    fs::path prefix;
    fs::path image;
    std::unique_ptr<test::VentoyFixture> fixture;
    std::unique_ptr<test::HelperTestDrive> drive;
    std::string loopName;
};

TEST_F(LiveWorldOnLoop, PreparesAddsAnImageAndRemovesVentoyThroughTheWindow) {
    ProgramDriver app(QString::fromStdString((prefix / "bin" / "marlowick").string()), {}, home.path());
    ASSERT_EQ(app.send("wait home.window"), "ok") << app.errors();

    // Listed from sysfs and detected through the helper, started as a plain child.
    const std::string afterScan = awaitDriveMenu(app, "P---WE", 60'000);
    const bool hasHomeView = app.send("wait home.primaryAction 2000") == "ok";
    if (afterScan != "P---WE" && !hasHomeView) {
        GTEST_SKIP() << "with other loop devices attached the window asks which drive to use, and it shows no "
                        "drive picker yet:\n"
                     << test::runCommand("losetup -n -O NAME").output;
    }
    ASSERT_EQ(afterScan, "P---WE") << "the loop device was not listed and detected as blank";
    if (!hasHomeView) {
        GTEST_SKIP() << "the window shows no home view yet: detected through the helper, but preparing needs its "
                        "confirmation sheet";
    }

    ASSERT_EQ(app.send("click home.primaryAction"), "ok");  // "Prepare…"
    confirm(app);
    ASSERT_EQ(awaitDriveMenu(app, "-----E"), "-----E") << "the prepare did not end";
    EXPECT_EQ(app.send("grab home.window " + std::string(MARLOWICK_SCREENSHOT_DIR) + "/live-prepared.png"), "ok");
    // The kernel lists a loop device's partitions only when asked (a real drive's at once).
    ASSERT_EQ(test::runCommand("partx -a " + drive->devicePath()).exitCode, 0);
    ASSERT_EQ(app.send("click home.primaryAction"), "ok");  // detect again
    ASSERT_EQ(awaitDriveMenu(app, "-U-XWE"), "-U-XWE") << "the prepared drive is not ready";

    // An image, picked in the file dialog and copied as the user through the mounted volume.
    ASSERT_EQ(app.send("click home.primaryAction"), "ok");  // "Add Image…"
    ASSERT_EQ(app.send("wait app.imagePicker 10000"), "ok");
    ASSERT_EQ(app.send("type fileNameEdit " + image.string()), "ok");
    ASSERT_EQ(app.send("key fileNameEdit Return"), "ok");
    ASSERT_EQ(awaitDriveMenu(app, "-----E"), "-----E") << "the copy did not end";
    ASSERT_EQ(app.send("click home.primaryAction"), "ok");
    ASSERT_EQ(awaitDriveMenu(app, "-U-XWE"), "-U-XWE");
    const HelperResult listed = test::helperProgramRunner()->run(HelperCommand{HelperCommand::Detect{drive->disk()}});
    const auto* detected = std::get_if<HelperResult::Detected>(&listed.value);
    ASSERT_NE(detected, nullptr);
    const auto* ventoy = std::get_if<HelperDriveStatus::Ventoy>(&detected->status.value);
    ASSERT_NE(ventoy, nullptr);
    const HelperResult images =
        test::helperProgramRunner()->run(HelperCommand{HelperCommand::ListImages{drive->disk(), ventoy->layout}});
    const auto* listing = std::get_if<HelperResult::ImageListing>(&images.value);
    ASSERT_NE(listing, nullptr);
    const auto* found = std::get_if<HelperImageListing::Success>(&listing->listing.value);
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(found->images.size(), 1U);
    EXPECT_EQ(found->images[0].name, "rescue.iso");
    EXPECT_EQ(found->images[0].sizeBytes, static_cast<std::int64_t>(fs::file_size(image)));

    // Remove Ventoy: one plain exFAT volume over the drive.
    EXPECT_EQ(app.send("trigger Drive/Remove Ventoy…"), "ok");
    confirm(app);
    ASSERT_EQ(awaitDriveMenu(app, "-----E"), "-----E") << "the removal did not end";
    EXPECT_EQ(app.quit(), 0) << app.errors();

    const test::CommandOutput table = test::runCommand("sfdisk --dump " + drive->devicePath());
    ASSERT_EQ(table.exitCode, 0) << table.output;
    std::size_t partitions = 0;
    std::istringstream rows(table.output);
    for (std::string row; std::getline(rows, row);) {
        if (row.rfind(drive->devicePath() + "p", 0) == 0) ++partitions;
    }
    EXPECT_EQ(partitions, 1U) << table.output;
    (void)test::runCommand("partx -d " + drive->devicePath());
    ASSERT_EQ(test::runCommand("partx -a " + drive->devicePath()).exitCode, 0);
    const test::CommandOutput checked = test::runCommand("fsck.exfat -n " + drive->devicePath() + "p1");
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
}

// The process that runs `program`; 0 when none does (a process that has ended and been
// reaped has no entry left).
pid_t processRunning(const fs::path& program) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code unreadable;
        if (fs::read_symlink(entry.path() / "exe", unreadable) == program) return static_cast<pid_t>(std::stol(name));
    }
    return 0;
}

// How the program is told to end while it writes a disk image: its Quit command, answered
// "Stop and Quit", or one of the three termination signals, which stop without asking.
struct StopCase {
    const char* name;
    int signal;  // 0: the Quit command
};

class LiveWorldStopsARawWrite : public LiveWorldOnLoop, public ::testing::WithParamInterface<StopCase> {};

// The helper is held (SIGSTOP) once it has begun to write, so that everything the program
// does before the helper answers can be watched: it must say it waits, and wait. Let go,
// the helper sees the cancel, answers, and only then does the program record the outcome
// and end.
TEST_P(LiveWorldStopsARawWrite, ThroughItsCancelAndRecordsItBeforeTheProgramEnds) {
    const StopCase& c = GetParam();
    const fs::path rawImage = home.path() / "disk.img";
    {
        std::ofstream out(rawImage, std::ios::binary);
        std::vector<char> chunk(1024 * 1024);
        std::uint32_t state = 2463534242U;
        for (int mebibyte = 0; mebibyte < 200; ++mebibyte) {
            for (char& byte : chunk) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                byte = static_cast<char>(state);
            }
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    }
    const fs::path helper = prefix / "libexec" / "marlowick" / "marlowick-helper";

    ProgramDriver app(QString::fromStdString((prefix / "bin" / "marlowick").string()), {}, home.path());
    ASSERT_EQ(app.send("wait home.window"), "ok") << app.errors();
    if (awaitDriveMenu(app, "P---WE", 60'000) != "P---WE") {
        GTEST_SKIP() << "the loop device was not offered as a blank drive:\n"
                     << test::runCommand("losetup -n -O NAME").output;
    }
    ASSERT_EQ(app.send("trigger Drive/Write a Disk Image…"), "ok");
    ASSERT_EQ(app.send("wait app.rawImagePicker 10000"), "ok");
    ASSERT_EQ(app.send("type fileNameEdit " + rawImage.string()), "ok");
    ASSERT_EQ(app.send("key fileNameEdit Return"), "ok");
    // The file dialog runs an event loop of its own, which cannot end while a driver's wait
    // runs inside it: the sheet is looked for by quick reads until the dialog has gone.
    for (int tries = 0; tries < 400 && !app.send("state home.confirm.sheet").starts_with("ok visible=1"); ++tries) {
        QThread::msleep(50);
    }
    confirm(app);

    pid_t writer = 0;
    for (int tries = 0; tries < 600 && writer == 0; ++tries) {
        if (app.send("text home.operation.stage") == "ok Writing image to the drive…") writer = processRunning(helper);
        if (writer == 0) QThread::msleep(50);
    }
    ASSERT_NE(writer, 0) << "the helper never began to write\n" << app.errors();
    ASSERT_EQ(::kill(writer, SIGSTOP), 0);
    // However the test ends, the helper is not left stopped.
    struct ResumeOnExit {
        pid_t& pid;
        ~ResumeOnExit() {
            if (pid != 0) (void)::kill(pid, SIGCONT);
        }
    } const resume{writer};

    if (c.signal == 0) {
        ASSERT_EQ(app.send("trigger File/Quit Marlowick"), "ok");
        ASSERT_EQ(app.send("wait app.quitQuestion 10000"), "ok");
        EXPECT_TRUE(app.send("text app.quitQuestion.title").starts_with("ok Quit while writing a disk image to "));
        ASSERT_EQ(app.send("click app.quitQuestion.stop"), "ok");
    } else {
        app.signal(c.signal);
    }
    const std::string waiting = "ok Stopping… Marlowick quits as soon as the operation has stopped.";
    std::string shown;
    for (int tries = 0; tries < 200 && shown != waiting; ++tries) {
        shown = app.send("text home.operation.stage");
        if (shown != waiting) QThread::msleep(50);
    }
    EXPECT_EQ(shown, waiting);
    EXPECT_EQ(app.send("state home.operation.cancel"), "ok visible=1 enabled=0 checked=0");
    EXPECT_EQ(app.awaitExit(1000), -1) << "the program ended while its helper was still writing";

    ASSERT_EQ(::kill(writer, SIGCONT), 0);
    writer = 0;
    ASSERT_EQ(app.awaitExit(120'000), 0) << app.errors();
    EXPECT_EQ(processRunning(helper), 0) << "the helper outlived the program";
    const std::string written = app.errors();
    EXPECT_NE(written.find("log [operation] Write a disk image failed: cancelled mid-write"), std::string::npos)
        << written;
}

INSTANTIATE_TEST_SUITE_P(Ways, LiveWorldStopsARawWrite,
                         ::testing::Values(StopCase{"quitCommand", 0}, StopCase{"sigterm", SIGTERM},
                                           StopCase{"sigint", SIGINT}, StopCase{"sighup", SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

// The live world built in this process over the same installed layout, the drive picked by
// hand: the model reaches the helper beside the prefix, as a plain child since we are root.
TEST_F(LiveWorldOnLoop, ReachesTheInstalledHelperAndWithoutItFailsEveryDetection) {
    testing::ManualExecutor main;
    const auto catalog = offlineCatalog(main);
    AppSettings::Startup settings;
    settings.showNonUsbDisks = true;
    const fs::path elsewhere = home.path() / "elsewhere" / "bin";
    fs::create_directories(elsewhere);
    EXPECT_EQ(LiveWorld::installedHelper(prefix / "bin"), prefix / "libexec" / "marlowick" / "marlowick-helper");
    EXPECT_EQ(LiveWorld::installedHelper(elsewhere), std::nullopt);

    for (const bool installed : {true, false}) {
        SCOPED_TRACE(installed ? "helper installed" : "helper missing");
        const auto model =
            LiveWorld::makeModel(main.executor(), catalog, settings, {}, installed ? prefix / "bin" : elsewhere);
        EXPECT_EQ(model->driveVisibility(), DriveVisibility::allExternal);
        ASSERT_NO_FATAL_FAILURE(pickOurDrive(*model, main));
        if (installed) {
            EXPECT_TRUE(model->state().is<HomeDriveState::Prepare>()) << render(model->state());
        } else {
            EXPECT_EQ(render(model->state()), "error(message: \"" + std::string(UnavailableEngineRunner::detail) + "\")");
        }
        main.runUntilIdle(std::chrono::milliseconds(200));
    }
}

// The live world over the real sysfs listing: the picked loop device grows under the same
// name, as another stick taking its place would read, and eject lets nothing go. Back at
// its size, it is the picked drive again and eject goes ahead.
TEST_F(LiveWorldOnLoop, EjectRefusesTheDriveWhenItIsNoLongerThePickedOne) {
    testing::ManualExecutor main;
    AppSettings::Startup settings;
    settings.showNonUsbDisks = true;
    const auto model = LiveWorld::makeModel(main.executor(), offlineCatalog(main), settings, {}, prefix / "bin");
    const auto pick = [&] {
        ASSERT_NO_FATAL_FAILURE(pickOurDrive(*model, main));
        ASSERT_TRUE(model->state().is<HomeDriveState::Prepare>()) << render(model->state());
    };
    const auto resize = [&](std::uintmax_t bytes) {
        fs::resize_file(drive->imagePath(), bytes);
        ASSERT_EQ(test::runCommand("losetup -c " + drive->devicePath()).exitCode, 0);
    };
    const std::uintmax_t size = fs::file_size(drive->imagePath());

    ASSERT_NO_FATAL_FAILURE(pick());
    ASSERT_NO_FATAL_FAILURE(resize(size + 1024 * 1024));
    model->ejectDrive();
    const TargetVerification::Verdict swapped{
        TargetVerification::Verdict::FingerprintMismatch{loopName, DeviceFingerprint::Field::capacity}};
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::Error{userMessage(swapped)}));
    EXPECT_FALSE(model->disk().has_value());
    ASSERT_TRUE(model->lastDiagnostics().has_value());
    EXPECT_EQ(model->lastDiagnostics()->details, std::vector<std::string>{diagnosticDescription(swapped)});

    ASSERT_NO_FATAL_FAILURE(resize(size));
    ASSERT_NO_FATAL_FAILURE(pick());
    model->ejectDrive();
    EXPECT_EQ(model->state(), HomeDriveState(HomeDriveState::NoDrive{}));
    main.runUntilIdle(std::chrono::milliseconds(200));
}

TEST(MarlowickAppWorld, AScenarioNameSelectsItsWorldAndAnyOtherTheLiveOne) {
    testing::ManualExecutor main;
    for (const auto& [name, scenario] : std::vector<std::pair<std::optional<std::string>, std::optional<UITestScenario>>>{
             {"picker", UITestScenario::picker},
             {"done", UITestScenario::done},
             {"Picker", std::nullopt},
             {"", std::nullopt},
             {std::nullopt, std::nullopt}}) {
        SCOPED_TRACE(name.value_or("(none)"));
        AppSettings::Startup settings;
        settings.uitest = name;
        settings.showNonUsbDisks = true;
        const MarlowickApp::World world = MarlowickApp::makeWorld(main.executor(), settings);
        EXPECT_EQ(world.scenario, scenario);
        ASSERT_NE(world.model, nullptr);
        // The live world reads the settings; a scenario has its own.
        EXPECT_EQ(world.model->driveVisibility(),
                  scenario ? DriveVisibility::usbOnly : DriveVisibility::allExternal);
        EXPECT_EQ(world.model->uiTestAutoOperation().has_value(), scenario == UITestScenario::done);
    }
}

}  // namespace
}  // namespace marlowick
