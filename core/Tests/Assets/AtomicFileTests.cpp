#include "Assets/AtomicFile.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, ReplacesTheTargetWholeWithAPrivateFileAndLeavesNothingBeside) {
    test::TempDir dir;
    const fs::path target = dir.file("marker");
    test::writeFile(target, std::vector<std::uint8_t>(4096, 0xAA));
    fs::permissions(target, fs::perms::all);
    const std::vector<std::uint8_t> bytes{'n', 'e', 'w', '\n'};

    EXPECT_EQ(AtomicFile::write(target, bytes), std::nullopt);

    EXPECT_EQ(test::readFile(target), bytes);
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(AtomicFile, SaysWhatFailedAndLeavesTheTargetAsItWas) {
    test::TempDir dir;
    const fs::path missing = dir.file("no-such-dir") / "file";
    const auto error = AtomicFile::write(missing, std::vector<std::uint8_t>{1, 2, 3});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, "create " + (dir.file("no-such-dir") / ".file.XXXXXX").string() +
                          ": errno 2 (No such file or directory)");

    // A directory in the target's place: the rename fails and the temporary file goes.
    fs::create_directory(dir.file("taken"));
    test::writeFile(dir.file("taken") / "inside", {7});
    const auto renameError = AtomicFile::write(dir.file("taken"), std::vector<std::uint8_t>{1});
    ASSERT_TRUE(renameError.has_value());
    EXPECT_EQ(renameError->rfind("rename " + dir.path().string() + "/.taken.", 0), 0u) << *renameError;
    EXPECT_TRUE(fs::is_directory(dir.file("taken")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    EXPECT_EQ(AtomicFile::sync(dir.file("gone")),
              "open " + dir.file("gone").string() + ": errno 2 (No such file or directory)");
}

}  // namespace
}  // namespace marlowick
