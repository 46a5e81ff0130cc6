#pragma once
// udisks2 for a test: the one running on the system bus when there is one, else a private
// system bus with udevd, polkitd and udisksd started by udisks-fixture.sh, which stops by
// id exactly what it started. One at a time on this machine: the fixture holds a lock for
// its lifetime, since two private udevd would fight over /run/udev.

#include <optional>
#include <string>

#include "Support/TestSupport.hpp"

namespace marlowick::test {

class UdisksFixture {
public:
    // Nothing, with the reason, when no udisks2 answers and none can be started.
    static std::unique_ptr<UdisksFixture> start(std::string& whyNot);
    ~UdisksFixture();
    UdisksFixture(const UdisksFixture&) = delete;
    UdisksFixture& operator=(const UdisksFixture&) = delete;

    // Blocks until udisks has seen the device with the given IdType, or the time is up.
    [[nodiscard]] bool waitForType(const std::string& deviceNode, const std::string& type, int timeoutMs = 5000) const;

    struct User {
        std::string name;
        unsigned uid = 0;
        unsigned gid = 0;
    };
    // A user without privileges who can reach the bus; made on the private bus only, and
    // removed when the fixture stops. Nothing, with the reason, otherwise.
    [[nodiscard]] std::optional<User> addUser(const std::string& name, std::string& whyNot) const;
    // A polkit rule letting the user mount and unmount loop devices, removed on stop.
    [[nodiscard]] bool allowMounts(const User& user) const;

private:
    UdisksFixture() = default;
    TempDir state;
    int lockFd = -1;
    std::optional<std::string> previousAddress;
};

}  // namespace marlowick::test
