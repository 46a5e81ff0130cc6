#include "Assets/ApplicationCacheRoot.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using ApplicationCacheRoot::Environment;
using ApplicationCacheRoot::Resolved;

unsigned permissionBits(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return 07777;
    return status.st_mode & 07777;
}

Resolved resolvedOrFail(const ApplicationCacheRoot::Result& result) {
    if (const auto* failure = std::get_if<ApplicationCacheRoot::Failure>(&result)) {
        ADD_FAILURE() << failure->detail;
        return {};
    }
    return std::get<Resolved>(result);
}

class ApplicationCacheRootTest : public ::testing::Test {
protected:
    test::TempDir scratch;
    fs::path home = scratch.file("home");
    fs::path tmp = scratch.file("tmp");
    void SetUp() override {
        fs::create_directory(home);
        fs::create_directory(tmp);
    }
};

TEST_F(ApplicationCacheRootTest, PrefersAnAbsoluteXdgCacheHomeAndMakesEveryMissingDirectoryPrivate) {
    const fs::path xdg = scratch.file("xdg") / "cache";
    const Resolved root = resolvedOrFail(ApplicationCacheRoot::resolve({xdg.string(), home.string(), tmp.string()}));
    EXPECT_EQ(root, (Resolved{xdg / "Marlowick", false}));
    for (const fs::path& made : {scratch.file("xdg"), xdg, xdg / "Marlowick"}) {
        SCOPED_TRACE(made.string());
        EXPECT_EQ(permissionBits(made), 0700u);
    }
    EXPECT_FALSE(fs::exists(home / ".cache"));
}

TEST_F(ApplicationCacheRootTest, FallsBackToTheHomeCacheWhenXdgIsUnsetRelativeOrUnusable) {
    // A file where the XDG directory should be: that root cannot be made.
    test::writeFile(scratch.file("blocked"), {1});
    const std::optional<std::string> xdgValues[] = {std::nullopt, "", "relative/cache",
                                                    (scratch.file("blocked") / "cache").string()};
    for (const auto& xdg : xdgValues) {
        SCOPED_TRACE(xdg.value_or("<unset>"));
        const Resolved root = resolvedOrFail(ApplicationCacheRoot::resolve({xdg, home.string(), tmp.string()}));
        EXPECT_EQ(root, (Resolved{home / ".cache" / "Marlowick", false}));
        EXPECT_EQ(permissionBits(home / ".cache"), 0700u);
        EXPECT_EQ(permissionBits(home / ".cache" / "Marlowick"), 0700u);
    }
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(ApplicationCacheRootTest, WithoutAUsableHomeAFreshPrivateTemporaryDirectoryStandsIn) {
    const std::optional<std::string> homes[] = {std::nullopt, "", "home-relative", scratch.file("no-such-home").string()};
    for (const auto& noHome : homes) {
        SCOPED_TRACE(noHome.value_or("<unset>"));
        const Resolved first = resolvedOrFail(ApplicationCacheRoot::resolve({std::nullopt, noHome, tmp.string()}));
        const Resolved second = resolvedOrFail(ApplicationCacheRoot::resolve({std::nullopt, noHome, tmp.string()}));
        EXPECT_TRUE(first.temporary);
        EXPECT_EQ(first.path.parent_path(), tmp);
        EXPECT_EQ(first.path.filename().string().rfind("Marlowick-", 0), 0u) << first.path;
        EXPECT_EQ(permissionBits(first.path), 0700u);
        // A fresh name each time: no fixed name that another user could have made first.
        EXPECT_NE(first.path, second.path);
    }
    EXPECT_FALSE(fs::exists(scratch.file("no-such-home"))) << "a home must never be created";
}

TEST_F(ApplicationCacheRootTest, ReportsWhyWhenNotEvenTheStandInCanBeMade) {
    const auto result = ApplicationCacheRoot::resolve({std::nullopt, std::nullopt, scratch.file("gone").string()});
    const auto* failure = std::get_if<ApplicationCacheRoot::Failure>(&result);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->detail, "mkdtemp " + (scratch.file("gone") / "Marlowick-XXXXXX").string() +
                                   ": errno 2 (No such file or directory)");
}

TEST_F(ApplicationCacheRootTest, MakesPrivateDirectoriesAndNamesTheOneThatFailed) {
    const fs::path deep = scratch.file("a") / "b" / "c";
    EXPECT_EQ(ApplicationCacheRoot::makePrivateDirectories(deep), std::nullopt);
    EXPECT_EQ(permissionBits(scratch.file("a")), 0700u);
    EXPECT_EQ(permissionBits(deep), 0700u);
    // Existing directories are accepted and left as they are.
    fs::permissions(scratch.file("a"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    EXPECT_EQ(ApplicationCacheRoot::makePrivateDirectories(deep), std::nullopt);
    EXPECT_EQ(permissionBits(scratch.file("a")), 0750u);

    test::writeFile(scratch.file("file"), {1});
    EXPECT_EQ(ApplicationCacheRoot::makePrivateDirectories(scratch.file("file") / "x"),
              "mkdir " + scratch.file("file").string() + ": errno 17 (File exists)");
}

TEST(ApplicationCacheRootEnvironment, ReadsAnAbsoluteHomeForThisProcess) {
    const Environment environment = ApplicationCacheRoot::currentEnvironment();
    ASSERT_TRUE(environment.home.has_value());
    EXPECT_EQ(environment.home->front(), '/');
}

}  // namespace
}  // namespace marlowick
