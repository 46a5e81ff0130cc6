#include "WidgetSupport/ProgramDriver.hpp"

#include <signal.h>

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QThread>

#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick::testing {

ProgramDriver::ProgramDriver(const QString& program, const QStringList& arguments, const std::filesystem::path& folder)
    : home(folder.empty() ? ownHome.path() : folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((home / "config").string()));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString((home / "cache").string()));
    // Whatever the program tries to fetch meets a closed port: no test reaches the network.
    for (const char* proxy : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"}) {
        environment.insert(QString::fromLatin1(proxy), QStringLiteral("http://127.0.0.1:9"));
    }
    environment.remove(QStringLiteral("no_proxy"));
    environment.remove(QStringLiteral("NO_PROXY"));
    process.setProcessEnvironment(environment);
    process.setProgram(program);
    process.setArguments(arguments + QStringList{QStringLiteral("--ui-driver")});
    process.start();
    process.waitForStarted(10'000);
}

ProgramDriver::~ProgramDriver() {
    if (process.state() != QProcess::NotRunning) {
        process.closeWriteChannel();
        if (!process.waitForFinished(10'000)) {
            process.kill();
            process.waitForFinished(5'000);
        }
    }
}

std::string ProgramDriver::driveMenu() {
    std::string enabled;
    for (std::size_t i = 0; i < std::size(driveMenuItems); ++i) {
        const bool on = send(std::string("menu Drive/") + driveMenuItems[i]).starts_with("ok enabled=1");
        enabled += on ? driveMenuLetters[i] : '-';
    }
    return enabled;
}

std::string ProgramDriver::awaitDriveMenu(const std::string& expected, int milliseconds,
                                          const std::function<void()>& between) {
    QElapsedTimer clock;
    clock.start();
    std::string seen = driveMenu();
    while (seen != expected && clock.elapsed() < milliseconds) {
        if (between) between();
        QThread::msleep(100);
        seen = driveMenu();
    }
    return seen;
}

std::string ProgramDriver::send(const std::string& command, int timeoutMilliseconds) {
    if (process.state() != QProcess::Running) return "error not running";
    process.write(QByteArray::fromStdString(command + "\n"));
    process.waitForBytesWritten(5'000);
    QElapsedTimer clock;
    clock.start();
    while (!received.contains('\n')) {
        if (clock.elapsed() > timeoutMilliseconds || process.state() != QProcess::Running) return "error no answer";
        process.waitForReadyRead(100);
        received.append(process.readAllStandardOutput());
    }
    const qsizetype end = received.indexOf('\n');
    const std::string line = received.left(end).toStdString();
    received.remove(0, end + 1);
    return line;
}

int ProgramDriver::quit() {
    if (process.state() == QProcess::Running) {
        (void)send("quit", 5'000);
        process.closeWriteChannel();
    }
    if (!process.waitForFinished(20'000)) return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void ProgramDriver::signal(int number) {
    if (process.state() == QProcess::Running) (void)::kill(static_cast<pid_t>(process.processId()), number);
}

int ProgramDriver::awaitExit(int milliseconds) {
    if (!process.waitForFinished(milliseconds)) return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::string ProgramDriver::errors() { return process.readAllStandardError().toStdString(); }

}  // namespace marlowick::testing
