#include "Support/SystemUser.hpp"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>

#include "Support/TestSupport.hpp"

namespace marlowick::test {
namespace {

const std::string sbin = "PATH=\"$PATH:/usr/sbin:/sbin\" ";

}  // namespace

std::unique_ptr<SystemUser> SystemUser::create(std::string& whyNot) {
    if (!isRoot()) {
        whyNot = "needs root to add a user";
        return nullptr;
    }
    if (runCommand(sbin + "command -v useradd && command -v groupadd").exitCode != 0) {
        whyNot = "needs useradd and groupadd";
        return nullptr;
    }
    static std::atomic<int> made{0};
    std::unique_ptr<SystemUser> user(new SystemUser());
    // Unique between the test programs that run at the same time.
    const std::string stem = "mwt" + std::to_string(::getpid()) + "x" + std::to_string(made++);
    user->userName = stem;
    user->extraGroupName = stem + "g";
    const CommandOutput grouped = runCommand(sbin + "groupadd --system " + user->extraGroupName);
    if (grouped.exitCode != 0) {
        whyNot = "groupadd failed: " + grouped.output;
        return nullptr;
    }
    user->groupMade = true;
    const CommandOutput added =
        runCommand(sbin + "useradd --system --user-group --no-create-home --home-dir /nonexistent --shell "
                          "/usr/sbin/nologin --groups " + user->extraGroupName + " " + user->userName);
    if (added.exitCode != 0) {
        whyNot = "useradd failed: " + added.output;
        return nullptr;
    }
    user->userMade = true;
    const passwd* entry = ::getpwnam(user->userName.c_str());
    const group* extra = ::getgrnam(user->extraGroupName.c_str());
    if (entry == nullptr || extra == nullptr) {
        whyNot = "the new user or group cannot be looked up";
        return nullptr;
    }
    user->userId = entry->pw_uid;
    user->primaryGroup = entry->pw_gid;
    user->extraGroup = extra->gr_gid;
    return user;
}

SystemUser::~SystemUser() {
    // userdel takes the user's own group along.
    if (userMade) (void)runCommand(sbin + "userdel " + userName);
    if (groupMade) (void)runCommand(sbin + "groupdel " + extraGroupName);
}

}  // namespace marlowick::test
