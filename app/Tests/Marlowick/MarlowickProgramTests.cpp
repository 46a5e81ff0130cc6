// The built program, started as a user's desktop would start it, under each scripted
// world and driven through its windows and menus from outside the process.

#include <gtest/gtest.h>

#include <filesystem>

#include "StandIns/UITestScenario.hpp"
#include "WidgetSupport/ProgramDriver.hpp"

namespace marlowick {
namespace {

using testing::ProgramDriver;

const QString program = QStringLiteral(MARLOWICK_PROGRAM_PATH);

std::string screenshotPath(const std::string& name) {
    std::filesystem::create_directories(MARLOWICK_SCREENSHOT_DIR);
    return std::string(MARLOWICK_SCREENSHOT_DIR) + "/" + name + ".png";
}

struct ProgramCase {
    UITestScenario scenario;
    const char* driveMenu;  // once the window has settled in the scenario's state
    bool verifyEnabled;
};

class ProgramUnderScenario : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramUnderScenario, SettlesInItsStateWithoutDriveHelperOrNetwork) {
    const ProgramCase& c = GetParam();
    const std::string name(rawValue(c.scenario));
    ProgramDriver app(program, {QStringLiteral("--uitest"), QString::fromStdString(name)});
    ASSERT_TRUE(app.started());
    ASSERT_EQ(app.send("wait home.window"), "ok") << app.errors();
    EXPECT_EQ(app.send("text home.window"), "ok Marlowick");
    EXPECT_EQ(app.awaitDriveMenu(c.driveMenu, 20'000), c.driveMenu);
    EXPECT_EQ(app.send("menu Drive/Verify Copied Images (SHA-256)"),
              std::string("ok enabled=") + (c.verifyEnabled ? "1" : "0") + " checked=0");
    EXPECT_EQ(app.send("menu View/Show Non-USB Disks"), "ok enabled=1 checked=0");
    EXPECT_EQ(app.send("grab home.window " + screenshotPath("program-" + name)), "ok");
    EXPECT_EQ(app.quit(), 0) << app.errors();
    // Nothing of the scripted world reached the cache: no registry, no boot files.
    EXPECT_FALSE(std::filesystem::exists(app.homeFolder() / "cache" / "Marlowick" / "ventoy-assets"));
}

INSTANTIATE_TEST_SUITE_P(EveryScenario, ProgramUnderScenario,
                         ::testing::Values(ProgramCase{UITestScenario::noDrive, "------", true},
                                           ProgramCase{UITestScenario::prepare, "P---WE", true},
                                           ProgramCase{UITestScenario::ventoyReady, "-U-XWE", true},
                                           ProgramCase{UITestScenario::incompatible, "--R-WE", true},
                                           ProgramCase{UITestScenario::unreadable, "P---WE", true},
                                           ProgramCase{UITestScenario::error, "-----E", true},
                                           ProgramCase{UITestScenario::picker, "------", true},
                                           ProgramCase{UITestScenario::running, "------", false},
                                           ProgramCase{UITestScenario::done, "-----E", true}),
                         [](const auto& info) { return std::string(rawValue(info.param.scenario)); });

// Through the home screen itself, as a user goes on from where each scenario lands.
struct RoadCase {
    UITestScenario scenario;
    std::vector<std::string> steps;  // driver commands, each answered "ok"
    const char* driveMenu;           // afterwards
};

class ProgramRoad : public ::testing::TestWithParam<RoadCase> {};

TEST_P(ProgramRoad, GoesOnThroughTheHomeScreen) {
    const RoadCase& c = GetParam();
    const std::string name(rawValue(c.scenario));
    ProgramDriver app(program, {QStringLiteral("--uitest"), QString::fromStdString(name)});
    ASSERT_EQ(app.send("wait home.window"), "ok") << app.errors();
    if (app.send("wait home.root 3000") != "ok") GTEST_SKIP() << "the window shows no home screen yet";
    for (const std::string& step : c.steps) ASSERT_EQ(app.send(step), "ok") << step;
    EXPECT_EQ(app.awaitDriveMenu(c.driveMenu, 20'000), c.driveMenu);
    EXPECT_EQ(app.send("grab home.window " + screenshotPath("program-road-" + name)), "ok");
    EXPECT_EQ(app.quit(), 0) << app.errors();
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ProgramRoad,
    ::testing::Values(
        // Two drives: the picker opens over both, and the pick is detected.
        RoadCase{UITestScenario::picker,
                 {"wait home.picker.sheet", "wait home.picker.row.sdd", "click home.picker.row.sdf",
                  "gone home.picker.sheet"},
                 "P---WE"},
        // Prepare, confirmed in the sheet, runs with the scripted download to its end.
        RoadCase{UITestScenario::prepare,
                 {"wait home.primaryAction", "click home.primaryAction", "wait home.confirm.sheet",
                  "click home.confirm.acknowledge", "click home.confirm.action", "gone home.confirm.sheet"},
                 "-----E"},
        // The image picked is copied by the scripted runner.
        RoadCase{UITestScenario::ventoyReady, {"wait home.primaryAction", "click home.primaryAction"}, "-----E"},
        // The held download is cancelled: the drive is as before the operation.
        RoadCase{UITestScenario::running,
                 {"wait home.operation.cancel", "click home.operation.cancel", "gone home.operation.cancel"},
                 "------"},
        RoadCase{UITestScenario::done, {"wait home.primaryAction"}, "-----E"}),
    [](const auto& info) { return std::string(rawValue(info.param.scenario)); });

TEST(Program, TogglesPersistAcrossARestart) {
    test::TempDir home;
    {
        ProgramDriver first(program, {QStringLiteral("--uitest"), QStringLiteral("noDrive")}, home.path());
        ASSERT_EQ(first.send("wait home.window"), "ok") << first.errors();
        EXPECT_EQ(first.send("trigger View/Show Non-USB Disks"), "ok");
        EXPECT_EQ(first.send("trigger Drive/Verify Copied Images (SHA-256)"), "ok");
        EXPECT_EQ(first.send("menu View/Show Non-USB Disks"), "ok enabled=1 checked=1");
        EXPECT_EQ(first.quit(), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(home.path() / "config" / "Marlowick" / "Marlowick.conf"));
    ProgramDriver second(program, {QStringLiteral("--uitest"), QStringLiteral("noDrive")}, home.path());
    ASSERT_EQ(second.send("wait home.window"), "ok") << second.errors();
    EXPECT_EQ(second.send("menu View/Show Non-USB Disks"), "ok enabled=1 checked=1");
    EXPECT_EQ(second.send("menu View/Show External SSDs and Hard Drives"), "ok enabled=1 checked=0");
    EXPECT_EQ(second.send("menu Drive/Verify Copied Images (SHA-256)"), "ok enabled=1 checked=1");
    EXPECT_EQ(second.quit(), 0);
}

TEST(Program, AboutAndLegalWindowsOpenOnceFromTheMenus) {
    ProgramDriver app(program, {QStringLiteral("--uitest"), QStringLiteral("noDrive")});
    ASSERT_EQ(app.send("wait home.window"), "ok") << app.errors();
    EXPECT_EQ(app.send("menu Help/Check for Updates…"), "ok enabled=0 checked=0");
    EXPECT_EQ(app.send("trigger Help/About Marlowick"), "ok");
    ASSERT_EQ(app.send("wait about.window"), "ok");
    EXPECT_EQ(app.send("text about.version"), "ok Version " MARLOWICK_VERSION);
    EXPECT_EQ(app.send("grab about.window " + screenshotPath("program-about")), "ok");
    EXPECT_EQ(app.send("click about.LICENSE"), "ok");
    ASSERT_EQ(app.send("wait legal.LICENSE"), "ok");
    EXPECT_EQ(app.send("text legal.LICENSE"), "ok Licence Agreement");
    // The Help menu brings the same window forward: still one.
    EXPECT_EQ(app.send("trigger Help/Licence Agreement"), "ok");
    EXPECT_EQ(app.send("state legal.LICENSE"), "ok visible=1 enabled=1 checked=0");
    EXPECT_EQ(app.send("trigger Help/Third-Party Notices"), "ok");
    EXPECT_EQ(app.send("wait legal.THIRD-PARTY-NOTICES"), "ok");
    EXPECT_EQ(app.quit(), 0);
}

TEST(Program, AnUnknownScenarioStartsTheLiveWorld) {
    // "Picker" is no scenario (letter case counts): the live world starts, whose helper is
    // not installed beside a program in the build tree, and which scans the real disks.
    ProgramDriver app(program, {QStringLiteral("--uitest"), QStringLiteral("Picker")});
    ASSERT_EQ(app.send("wait home.window"), "ok") << app.errors();
    EXPECT_EQ(app.send("menu View/Show Non-USB Disks"), "ok enabled=1 checked=0");
    EXPECT_EQ(app.quit(), 0) << app.errors();
}

}  // namespace
}  // namespace marlowick
