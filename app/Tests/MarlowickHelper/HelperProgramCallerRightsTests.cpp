// The helper program started for another user as pkexec starts it, with PKEXEC_UID naming
// that user (root only): the files a command names, images and boot files, are opened with
// that user's rights. A root-only file the user names is refused before the drive is
// touched; the user's own files are read and the drive is written from them. Started as a
// plain child of root, without PKEXEC_UID, the helper keeps root's rights.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "HelperEngine/EngineTestSupport.hpp"
#include "HelperTestDrive.hpp"
#include "Support/SystemUser.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;

HelperDriveOperationReport reportOf(const HelperResult& result) {
    const auto* operation = std::get_if<HelperResult::DriveOperation>(&result.value);
    if (operation == nullptr) ADD_FAILURE() << "no drive operation: " << ::testing::PrintToString(result);
    return operation == nullptr ? HelperDriveOperationReport() : operation->report;
}

class HelperProgramForAnotherUser : public test::HelperTestDriveFixture {
protected:
    void SetUp() override {
        test::HelperTestDriveFixture::SetUp();
        if (IsSkipped()) return;
        std::string whyNot;
        user = test::SystemUser::create(whyNot);
        if (!user) GTEST_SKIP() << whyNot;
        // The user may look into the folder; each file there says who may read it.
        fs::permissions(shared.path(), fs::perms(0755));
        ASSERT_EQ(::setenv("PKEXEC_UID", std::to_string(user->uid()).c_str(), 1), 0);
    }
    void TearDown() override { ::unsetenv("PKEXEC_UID"); }

    // A file of these bytes that only `owner` may read.
    fs::path onlyFor(uid_t owner, const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path path = shared.file(name);
        test::writeFile(path, bytes);
        EXPECT_EQ(::chown(path.c_str(), owner, owner == 0 ? 0 : user->gid()), 0);
        fs::permissions(path, fs::perms(0600));
        return path;
    }

    std::unique_ptr<test::SystemUser> user;
    test::TempDir shared;
};

TEST_F(HelperProgramForAnotherUser, WritesTheUsersOwnImageAndNotOneOnlyRootMayRead) {
    std::vector<std::uint8_t> image(3 << 20);
    std::mt19937_64 generator(27);
    for (auto& byte : image) byte = static_cast<std::uint8_t>(generator());
    const fs::path rootOnly = onlyFor(0, "root-only.img", image);
    const fs::path own = onlyFor(user->uid(), "own.img", image);

    const std::string before = drive->sha256();
    EXPECT_EQ(runner->run(HelperCommand{HelperCommand::WriteRawImage{drive->disk(), rootOnly.string(), true}}),
              HelperResult::failed(HelperCommandError::CouldNotOpenSource{rootOnly.string()}));
    EXPECT_EQ(drive->sha256(), before) << "the drive was written";

    const HelperDriveOperationReport written =
        reportOf(runner->run(HelperCommand{HelperCommand::WriteRawImage{drive->disk(), own.string(), true}}));
    EXPECT_TRUE(written.overallSuccess) << ::testing::PrintToString(written);
    EXPECT_TRUE(drive->startsWith(own));

    // A plain child of root, as the application's already-root mode starts it.
    ::unsetenv("PKEXEC_UID");
    const HelperDriveOperationReport asRoot =
        reportOf(runner->run(HelperCommand{HelperCommand::WriteRawImage{drive->disk(), rootOnly.string(), true}}));
    EXPECT_TRUE(asRoot.overallSuccess) << ::testing::PrintToString(asRoot);
}

TEST_F(HelperProgramForAnotherUser, PreparesFromTheUsersOwnBootFilesAndNotFromOneOnlyRootMayRead) {
    std::string skip;
    const std::optional<test::TrustedBootFiles> trusted = test::trustedBootFiles(skip);
    if (!trusted) GTEST_SKIP() << skip;
    HelperAssetRefSet own = trusted->assets;
    own.bootImgPath = onlyFor(user->uid(), "boot.img", trusted->fixture->bootImg).string();
    own.coreImgPath = onlyFor(user->uid(), "core.img", trusted->fixture->coreImg).string();
    own.ventoyDiskImgPath = onlyFor(user->uid(), "ventoy.disk.img", trusted->fixture->ventoyDiskImg).string();
    HelperAssetRefSet rootsCore = own;
    rootsCore.coreImgPath = onlyFor(0, "root-core.img", trusted->fixture->coreImg).string();

    const std::string before = drive->sha256();
    const HelperCommandError::InvalidOptions unreadable{"core.img: could not read the cached asset file"};
    EXPECT_EQ(runner->run(HelperCommand{HelperCommand::Prepare{drive->disk(), rootsCore, {}, std::nullopt}}),
              HelperResult::failed(unreadable));
    EXPECT_EQ(drive->sha256(), before) << "the drive was written";

    const HelperDriveOperationReport prepared =
        reportOf(runner->run(HelperCommand{HelperCommand::Prepare{drive->disk(), own, {}, std::nullopt}}));
    EXPECT_TRUE(prepared.overallSuccess) << ::testing::PrintToString(prepared);
}

}  // namespace
}  // namespace marlowick
