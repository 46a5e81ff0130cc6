#pragma once
// The built application run as its own process on the offscreen platform and driven from
// the test through its --ui-driver commands, one line out and one line back. Settings and
// caches live in the driver's own folders (XDG_CONFIG_HOME, XDG_CACHE_HOME), so that runs
// are independent of the machine and of each other unless a test reuses the folders. The
// process is ended by its own id when the driver goes.

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>

#include "Support/TestSupport.hpp"

namespace marlowick::testing {

class ProgramDriver {
public:
    // Starts `program` with the arguments plus --ui-driver; `home` holds the config and
    // cache folders (a fresh one when empty).
    ProgramDriver(const QString& program, const QStringList& arguments, const std::filesystem::path& home = {});
    ~ProgramDriver();
    ProgramDriver(const ProgramDriver&) = delete;
    ProgramDriver& operator=(const ProgramDriver&) = delete;

    [[nodiscard]] bool started() const { return process.state() == QProcess::Running; }
    // One command; its answer without the line end ("ok …", "error …"), or "error no answer".
    std::string send(const std::string& command, int timeoutMilliseconds = 30'000);
    // The Drive menu as a word: the letter of each enabled item (driveMenuLetters), '-' for
    // a disabled one.
    std::string driveMenu();
    // Reads the Drive menu until it is `expected` or `milliseconds` pass, running `between`
    // (when given) before each further reading; the last reading.
    std::string awaitDriveMenu(const std::string& expected, int milliseconds,
                               const std::function<void()>& between = {});
    // Sends quit and waits for the program to end; its exit code, or -1.
    int quit();
    // Sends the signal to the program's process alone.
    void signal(int number);
    // Waits up to `milliseconds` for the program to end on its own; its exit code, or -1
    // when it still runs or did not exit normally.
    int awaitExit(int milliseconds);
    // What the program wrote on standard error so far.
    [[nodiscard]] std::string errors();
    [[nodiscard]] const std::filesystem::path& homeFolder() const { return home; }

private:
    test::TempDir ownHome;
    std::filesystem::path home;
    QProcess process;
    QByteArray received;
};

}  // namespace marlowick::testing
