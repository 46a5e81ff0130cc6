// Partial copy files in a temporary folder: a file made for a copy is held until it is
// renamed or removed, and the clean-up takes only regular partial files nothing holds.
#include "Files/PartialCopyFile.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "Files/OtherProcessLock.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Anything else that carries the prefix stays, and so does a partial file another process
// holds, until it lets go. A FIFO under the name must not hang the clean-up.
TEST(PartialCopyFile, RemovesOnlyRegularPartialFilesNothingHolds) {
    test::TempDir dir;
    const fs::path& folder = dir.path();
    test::writeFile(folder / ".marlowick-partial-0badf00d", {1, 2, 3});
    test::writeFile(folder / ".marlowick-partial-11111111", {1, 2, 3});
    test::writeFile(folder / "image.iso", {1});
    test::writeFile(folder / ".hidden", {1});
    fs::create_directory(folder / ".marlowick-partial-folder00");
    ASSERT_EQ(::mkfifo((folder / ".marlowick-partial-fifo0000").c_str(), 0644), 0);
    test::writeFile(dir.file("outside"), {1});
    fs::create_symlink(dir.file("outside"), folder / ".marlowick-partial-link0000");
    std::unique_ptr<test::OtherProcessLock> held =
        test::OtherProcessLock::take(folder / ".marlowick-partial-11111111");
    ASSERT_TRUE(held);

    EXPECT_EQ(PartialCopyFile::removeStale(folder), 1);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{".hidden", ".marlowick-partial-11111111",
                                                         ".marlowick-partial-fifo0000", ".marlowick-partial-folder00",
                                                         ".marlowick-partial-link0000", "image.iso", "outside"}));
    held.reset();
    EXPECT_EQ(PartialCopyFile::removeStale(folder), 1);
    EXPECT_FALSE(fs::exists(folder / ".marlowick-partial-11111111"));
    EXPECT_EQ(PartialCopyFile::removeStale(dir.file("gone")), 0);
}

// Held from creation: a clean-up meanwhile leaves it alone. Removed when dropped, unless it
// was kept under its final name.
TEST(PartialCopyFile, IsHeldFromCreationUntilRenamedOrRemoved) {
    test::TempDir dir;
    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    std::string dropped;
    {
        auto created = PartialCopyFile::create(folder);
        ASSERT_TRUE(std::holds_alternative<PartialCopyFile>(created));
        const PartialCopyFile& partial = std::get<PartialCopyFile>(created);
        dropped = partial.name();
        EXPECT_TRUE(dropped.starts_with(".marlowick-partial-"));
        EXPECT_EQ(dropped.size(), std::string(".marlowick-partial-").size() + 8);
        EXPECT_GE(partial.writer(), 0);
        EXPECT_EQ(PartialCopyFile::removeStale(dir.path()), 0);
        EXPECT_TRUE(fs::exists(dir.path() / dropped));
    }
    EXPECT_TRUE(namesIn(dir.path()).empty());

    {
        auto created = PartialCopyFile::create(folder);
        ASSERT_TRUE(std::holds_alternative<PartialCopyFile>(created));
        PartialCopyFile& partial = std::get<PartialCopyFile>(created);
        EXPECT_EQ(partial.closeWriter(), 0);
        EXPECT_EQ(partial.writer(), -1);
        EXPECT_EQ(PartialCopyFile::removeStale(dir.path()), 0);
        ASSERT_EQ(::renameat(folder, partial.name().c_str(), folder, "image.iso"), 0);
        partial.keep();
    }
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"image.iso"});
    ::close(folder);
}

}  // namespace
}  // namespace marlowick
