// Opening files with another user's rights from a root process: what that user may open
// opens (their own file, their primary and supplementary groups' files), what they may not
// is refused, and the switch belongs to the opening thread and ends with the open.
#include "HelperEngine/FsuidFileOpener.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <future>
#include <thread>

#include "Support/SystemUser.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;

TEST(FsuidFileOpener, ReadsOnlyAPlainDecimalUid) {
    struct Case {
        const char* text;
        std::optional<uid_t> uid;
    };
    const Case cases[] = {
        {"1000", 1000},
        {"0", 0},
        {"4294967294", 4294967294u},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {" 12", std::nullopt},
        {"12a", std::nullopt},
        {"4294967295", std::nullopt},  // (uid_t)-1, which no user has
        {"4294967296", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FsuidFileOpener::parseUid(c.text), c.uid);
    }
}

TEST(FsuidFileOpener, WithoutAKnownUserOpensNothing) {
    EXPECT_EQ(FsuidFileOpener::identityOf(4294967000u), std::nullopt);
    const FsuidFileOpener opener(std::nullopt);
    errno = 0;
    EXPECT_EQ(opener.open("/dev/null", O_RDONLY | O_CLOEXEC), -1);
    EXPECT_EQ(errno, EACCES);
}

std::vector<gid_t> threadGroups() {
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    if (!groups.empty()) {
        groups.resize(static_cast<std::size_t>(::getgroups(static_cast<int>(groups.size()), groups.data())));
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

// One line of a thread's status in /proc: "Uid:\t0\t0\t0\t1234" (real, effective, saved, fs).
std::string statusLine(pid_t thread, const std::string& key) {
    std::ifstream status("/proc/self/task/" + std::to_string(thread) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(key + ":")) return line;
    }
    return {};
}

class FsuidFileOpenerAsRoot : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        user = test::SystemUser::create(whyNot);
        if (!user) GTEST_SKIP() << whyNot;
        identity = FsuidFileOpener::identityOf(user->uid());
        ASSERT_TRUE(identity);
        fs::permissions(dir.path(), fs::perms(0755));
    }
    // A file of one byte with this owner, group and mode.
    fs::path file(const std::string& name, uid_t owner, gid_t group, mode_t mode) {
        const fs::path path = dir.file(name);
        test::writeFile(path, {1});
        EXPECT_EQ(::chown(path.c_str(), owner, group), 0);
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        return path;
    }

    std::unique_ptr<test::SystemUser> user;
    std::optional<FsuidFileOpener::Identity> identity;
    test::TempDir dir;
};

TEST_F(FsuidFileOpenerAsRoot, OpensWhatTheUserMayReadAndNothingElse) {
    EXPECT_EQ(identity->uid, user->uid());
    EXPECT_EQ(identity->gid, user->gid());
    EXPECT_NE(std::find(identity->groups.begin(), identity->groups.end(), user->supplementaryGid()),
              identity->groups.end());
    fs::create_directory(dir.file("private"));
    fs::permissions(dir.file("private"), fs::perms(0700));
    test::writeFile(dir.file("private") / "inside.img", {1});
    fs::permissions(dir.file("private") / "inside.img", fs::perms(0644));
    struct Case {
        const char* name;
        fs::path path;
        int error;  // 0: opens
    };
    const Case cases[] = {
        {"rootOnly", file("root-only.img", 0, 0, 0600), EACCES},
        {"usersOwn", file("own.img", user->uid(), user->gid(), 0600), 0},
        {"primaryGroup", file("primary.img", 0, user->gid(), 0640), 0},
        {"supplementaryGroup", file("supplementary.img", 0, user->supplementaryGid(), 0640), 0},
        {"readableByAll", file("public.img", 0, 0, 0644), 0},
        {"inAFolderOnlyRootSearches", dir.file("private") / "inside.img", EACCES},
        {"missing", dir.file("gone.img"), ENOENT},
    };
    const FsuidFileOpener opener(identity);
    const std::vector<gid_t> groupsBefore = threadGroups();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errno = 0;
        const int fd = opener.open(c.path.string(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(fd >= 0 ? 0 : errno, c.error);
        if (fd >= 0) ::close(fd);
        // This thread is root again: its ids, its groups, and a file only root may read.
        EXPECT_EQ(::setfsuid(static_cast<uid_t>(-1)), 0);
        EXPECT_EQ(::setfsgid(static_cast<gid_t>(-1)), 0);
        EXPECT_EQ(threadGroups(), groupsBefore);
        const int asRoot = DefaultFileOpener().open(dir.file("root-only.img").string(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(asRoot, 0);
        if (asRoot >= 0) ::close(asRoot);
    }
}

// An open that waits (a FIFO with no writer yet) shows the switch while it lasts: the
// opening thread has the user's filesystem ids and groups, every other thread keeps root's.
TEST_F(FsuidFileOpenerAsRoot, TheSwitchBelongsToTheOpeningThreadAlone) {
    const fs::path fifo = dir.file("wait.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const FsuidFileOpener opener(identity);
    std::promise<pid_t> started;
    std::future<pid_t> openingThread = started.get_future();
    std::future<int> opened = std::async(std::launch::async, [&] {
        started.set_value(static_cast<pid_t>(::syscall(SYS_gettid)));
        return opener.open(fifo.string(), O_RDONLY | O_CLOEXEC);
    });
    const pid_t thread = openingThread.get();
    // Until the open is under way its thread still shows root's ids.
    const std::string userUid = std::to_string(user->uid());
    std::string uidLine;
    for (int i = 0; i < 500 && !uidLine.ends_with("\t" + userUid); ++i) {
        uidLine = statusLine(thread, "Uid");
        if (!uidLine.ends_with("\t" + userUid)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(uidLine, "Uid:\t0\t0\t0\t" + userUid);
    EXPECT_EQ(statusLine(thread, "Gid"), "Gid:\t0\t0\t0\t" + std::to_string(user->gid()));
    EXPECT_NE(statusLine(thread, "Groups").find(std::to_string(user->supplementaryGid())), std::string::npos)
        << statusLine(thread, "Groups");
    EXPECT_EQ(statusLine(static_cast<pid_t>(::syscall(SYS_gettid)), "Uid"), "Uid:\t0\t0\t0\t0");
    EXPECT_EQ(::setfsuid(static_cast<uid_t>(-1)), 0);

    // Lets the open return; fails (ENXIO) without waiting if it has returned already.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(writer, 0);
    const int reader = opened.get();
    EXPECT_GE(reader, 0);
    if (writer >= 0) ::close(writer);
    if (reader >= 0) ::close(reader);
}

}  // namespace
}  // namespace marlowick
