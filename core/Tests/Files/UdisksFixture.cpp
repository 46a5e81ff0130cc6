#include "Files/UdisksFixture.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace marlowick::test {
namespace {

const std::string script = std::string(MARLOWICK_TEST_SOURCE_DIR) + "/Files/udisks-fixture.sh";

}  // namespace

std::unique_ptr<UdisksFixture> UdisksFixture::start(std::string& whyNot) {
    std::unique_ptr<UdisksFixture> fixture(new UdisksFixture());
    fixture->lockFd = ::open("/tmp/marlowick-udisks-fixture.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fixture->lockFd >= 0) (void)::flock(fixture->lockFd, LOCK_EX);
    if (const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) fixture->previousAddress = address;
    const CommandOutput started = runCommand("bash '" + script + "' start '" + fixture->state.path().string() + "'");
    if (started.exitCode != 0) {
        whyNot = "udisks2 could not be brought up: " + started.output;
        runCommand("bash '" + script + "' stop '" + fixture->state.path().string() + "'");
        return nullptr;
    }
    const std::string key = "DBUS_SYSTEM_BUS_ADDRESS=";
    const std::size_t at = started.output.rfind(key);
    if (at == std::string::npos) {
        whyNot = "the udisks fixture named no bus: " + started.output;
        return nullptr;
    }
    std::string address = started.output.substr(at + key.size());
    address = address.substr(0, address.find('\n'));
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    return fixture;
}

UdisksFixture::~UdisksFixture() {
    runCommand("bash '" + script + "' stop '" + state.path().string() + "'");
    if (previousAddress) {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", previousAddress->c_str(), 1);
    } else {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    if (lockFd >= 0) ::close(lockFd);
}

bool UdisksFixture::waitForType(const std::string& deviceNode, const std::string& type, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const CommandOutput info = runCommand("udisksctl info -b " + deviceNode + " 2>/dev/null | grep -E '^ *IdType:'");
        if (info.output.find(type) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::optional<UdisksFixture::User> UdisksFixture::addUser(const std::string& name, std::string& whyNot) const {
    const CommandOutput added =
        runCommand("bash '" + script + "' add-user '" + state.path().string() + "' '" + name + "'");
    User user{name};
    // The ids are the last thing printed, after anything the tools said.
    std::istringstream lines(added.output);
    std::string line, last;
    while (std::getline(lines, line)) {
        if (!line.empty()) last = line;
    }
    std::istringstream ids(last);
    if (added.exitCode != 0 || !(ids >> user.uid >> user.gid) || user.uid == 0) {
        whyNot = "no unprivileged user: " + added.output;
        return std::nullopt;
    }
    return user;
}

bool UdisksFixture::allowMounts(const User& user) const {
    return runCommand("bash '" + script + "' allow-user '" + state.path().string() + "' '" + user.name + "'")
               .exitCode == 0;
}

}  // namespace marlowick::test
