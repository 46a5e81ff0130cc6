// The built program, started as a user's desktop would start it, under each scripted
// world and driven through its windows and menus from outside the process.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <filesystem>

#include "Home/UITestScenario.hpp"
#include "WidgetSupport/ProgramDriver.hpp"

namespace marlowick {
namespace {

using testing::ProgramDriver;

const QString program = QStringLiteral(MARLOWICK_PROGRAM_PATH);

std::string screenshotPath(const std::string& name) {
    std::filesystem::create_directories(MARLOWICK_SCREENSHOT_DIR);
    return std::string(MARLOWICK_SCREENSHOT_DIR) + "/" + name + ".png";
}

const char* const driveItems[] = {"Prepare…", "Update…", "Reinstall…", "Remove Ventoy…", "Write a Disk Image…", "Eject"};

// The Drive menu as letters, P U R X W E for the enabled items and '-' for the others.
std::string driveMenu(ProgramDriver& app) {
    std::string enabled;
    const char letters[] = "PURXWE";
    for (std::size_t i = 0; i < std::size(driveItems); ++i) {
        enabled += app.send(std::string("menu Drive/") + driveItems[i]).starts_with("ok enabled=1") ? letters[i] : '-';
    }
    return enabled;
}

// Polls the Drive menu until it reads `expected` or 20 seconds pass; the last reading.
std::string awaitDriveMenu(ProgramDriver& app, const std::string& expected) {
    QElapsedTimer clock;
    clock.start();
    std::string seen = driveMenu(app);
    while (seen != expected && clock.elapsed() < 20'000) {
        QThread::msleep(100);
        seen = driveMenu(app);
    }
    return seen;
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
    EXPECT_EQ(awaitDriveMenu(app, c.driveMenu), c.driveMenu);
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
