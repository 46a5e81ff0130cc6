#include "HelperEngine/FsuidFileOpener.hpp"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

namespace marlowick {
namespace {

// setgroups(2) for this thread alone: glibc's setgroups() applies the change to every
// thread of the process.
int setThreadGroups(const std::vector<gid_t>& groups) {
    return static_cast<int>(::syscall(SYS_setgroups, groups.size(), groups.data()));
}

std::optional<std::vector<gid_t>> threadGroups() {
    const int count = ::getgroups(0, nullptr);
    if (count < 0) return std::nullopt;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (count > 0 && ::getgroups(count, groups.data()) != count) return std::nullopt;
    return groups;
}

// setfsuid and setfsgid report no error; they return the id held before, and asking with
// an invalid id (-1) changes nothing, so the id now held is read back that way.
bool switchFsuid(uid_t uid) {
    (void)::setfsuid(uid);
    return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == uid;
}

bool switchFsgid(gid_t gid) {
    (void)::setfsgid(gid);
    return static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))) == gid;
}

// This thread's own filesystem identity, taken back after each open.
struct ThreadIdentity {
    uid_t fsuid;
    gid_t fsgid;
    std::vector<gid_t> groups;

    // Going back to root's ids cannot fail for a root process; if it ever did, this thread
    // would go on with a user's rights or root's where a user's were meant: stop instead.
    void restore() const {
        const bool restored = switchFsuid(fsuid) && switchFsgid(fsgid) && setThreadGroups(groups) == 0;
        if (!restored) std::abort();
    }
};

}  // namespace

std::optional<FsuidFileOpener::Identity> FsuidFileOpener::identityOf(uid_t uid) {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    int error = 0;
    while ((error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (error != 0 || found == nullptr) return std::nullopt;
    Identity identity{uid, entry.pw_gid, {}};
    int count = 32;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    while (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count) > groups.size() ? static_cast<std::size_t>(count)
                                                                      : groups.size() * 2);
        count = static_cast<int>(groups.size());
    }
    groups.resize(static_cast<std::size_t>(count));
    identity.groups = std::move(groups);
    return identity;
}

std::optional<uid_t> FsuidFileOpener::parseUid(std::string_view text) {
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value >= static_cast<uid_t>(-1)) return std::nullopt;
    return static_cast<uid_t>(value);
}

int FsuidFileOpener::open(const std::string& path, int flags) const {
    if (!user) {
        errno = EACCES;
        return -1;
    }
    const std::optional<std::vector<gid_t>> ownGroups = threadGroups();
    if (!ownGroups) return -1;
    const ThreadIdentity own{static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))),
                             static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))), *ownGroups};
    // The fsuid last: leaving root's fsuid is what drops this thread's file capabilities.
    if (setThreadGroups(user->groups) != 0) return -1;
    if (!switchFsgid(user->gid) || !switchFsuid(user->uid)) {
        own.restore();
        errno = EPERM;
        return -1;
    }
    const int descriptor = ::open(path.c_str(), flags);
    const int error = errno;
    own.restore();
    errno = error;
    return descriptor;
}

}  // namespace marlowick
