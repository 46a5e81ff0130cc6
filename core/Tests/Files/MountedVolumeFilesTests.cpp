// The mounted-volume file layer on a temporary folder standing in for the volume: listings
// and their order, trees and their limit, capped reads, folders made and entries deleted,
// and symbolic links refused wherever they stand on a path, on a kernel with openat2 and,
// in a child process where it is taken away, on one without.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/openat2.h>
#include <linux/seccomp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>

#include "Files/MountedVolumeFiles.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Failure = MountedFileFailure;

VolumePath at(const std::string& text) { return *VolumePath::parse(text); }

template <class Value>
std::vector<std::string> pathsOf(const MountedFileResult<Value>& result) {
    std::vector<std::string> paths;
    if (const auto* failure = std::get_if<Failure>(&result)) {
        ADD_FAILURE() << render(*failure);
        return paths;
    }
    for (const MountedEntry& entry : std::get<Value>(result)) paths.push_back(entry.path.string());
    return paths;
}

template <class Value>
std::optional<Failure> failureOf(const MountedFileResult<Value>& result) {
    if (const auto* failure = std::get_if<Failure>(&result)) return *failure;
    return std::nullopt;
}

class MountedVolumeFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(root);
        // Something outside the volume that a link could lead to.
        fs::create_directory(outside);
        test::writeFile(outside / "secret.iso", {7, 7, 7});
    }
    void file(const std::string& relative, std::size_t size = 3) {
        fs::create_directories((root / relative).parent_path());
        test::writeFile(root / relative, std::vector<std::uint8_t>(size, 1));
    }

    test::TempDir dir;
    fs::path root = dir.file("volume");
    fs::path outside = dir.file("outside");
    MountedVolumeFiles files{root};
};

TEST_F(MountedVolumeFilesTest, ListsOneFolderSortedAsFileBrowsersSort) {
    file("file10.iso", 10);
    file("File2.iso", 2);
    file("file1.iso", 1);
    fs::create_directory(root / "b-folder");
    file(".hidden.iso");
    fs::create_directory(root / ".Trash-1000");
    file("._x.iso");
    const MountedFileResult<std::vector<MountedEntry>> listed = files.list(VolumePath::root, false);
    EXPECT_EQ(pathsOf(listed), (std::vector<std::string>{"/b-folder", "/file1.iso", "/File2.iso", "/file10.iso"}));
    const auto& entries = std::get<std::vector<MountedEntry>>(listed);
    EXPECT_TRUE(entries[0].isDirectory);
    EXPECT_EQ(entries[0].sizeBytes, 0);
    EXPECT_EQ(entries[3].sizeBytes, 10);
    struct stat info {};
    ASSERT_EQ(::stat((root / "file10.iso").c_str(), &info), 0);
    EXPECT_EQ(entries[3].modifiedAt.time_since_epoch(),
              std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec));
    EXPECT_EQ(pathsOf(files.list(VolumePath::root, true)),
              (std::vector<std::string>{"/._x.iso", "/.hidden.iso", "/.Trash-1000", "/b-folder", "/file1.iso",
                                        "/File2.iso", "/file10.iso"}));
}

TEST_F(MountedVolumeFilesTest, NamesWhatIsMissingOrNotAFolder) {
    file("a.iso");
    EXPECT_EQ(failureOf(files.list(at("/a.iso"), false)), Failure{Failure::NotADirectory{at("/a.iso")}});
    EXPECT_EQ(failureOf(files.list(at("/a.iso/x"), false)), Failure{Failure::NotADirectory{at("/a.iso")}});
    EXPECT_EQ(failureOf(files.list(at("/none"), false)), Failure{Failure::NotFound{at("/none")}});
    EXPECT_EQ(failureOf(files.list(at("/none/deeper"), false)), Failure{Failure::NotFound{at("/none/deeper")}});
    EXPECT_EQ(failureOf(files.read(at("/none"), 4)), Failure{Failure::NotFound{at("/none")}});
    EXPECT_EQ(failureOf(files.read(VolumePath::root, 4)), Failure{Failure::IsADirectory{VolumePath::root}});
    EXPECT_EQ(failureOf(files.directoryURL(at("/a.iso"))), Failure{Failure::NotADirectory{at("/a.iso")}});
    fs::create_directory(root / "iso");
    EXPECT_EQ(files.directoryURL(at("/iso")), (MountedFileResult<fs::path>{root / "iso"}));
    const MountedVolumeFiles gone{dir.file("no-volume")};
    const std::optional<Failure> rootFailure = failureOf(gone.list(VolumePath::root, false));
    ASSERT_TRUE(rootFailure);
    const auto* io = std::get_if<Failure::IoFailed>(&rootFailure->value);
    ASSERT_TRUE(io) << render(*rootFailure);
    EXPECT_EQ(io->operation, "stat");
    EXPECT_EQ(io->detail, "errno 2 (No such file or directory)");
}

// A link to a folder outside, a link in the middle of a path, a dangling link: listed as
// files where they stand, refused the moment anything goes through them or acts on them,
// and nothing outside the volume is read, listed, created or deleted.
TEST_F(MountedVolumeFilesTest, RefusesEverySymbolicLink) {
    fs::create_directory_symlink(outside, root / "etc");
    fs::create_directory(root / "iso");
    fs::create_directory_symlink(outside, root / "iso" / "mid");
    fs::create_symlink(root / "nowhere.iso", root / "dangling.iso");
    fs::create_symlink(outside / "secret.iso", root / "secret.iso");

    EXPECT_EQ(pathsOf(files.list(VolumePath::root, false)),
              (std::vector<std::string>{"/dangling.iso", "/etc", "/iso", "/secret.iso"}));
    const auto listed = std::get<std::vector<MountedEntry>>(files.list(VolumePath::root, false));
    EXPECT_FALSE(listed[1].isDirectory);  // the link itself, not the folder it names

    EXPECT_EQ(failureOf(files.list(at("/etc"), false)), Failure{Failure::SymbolicLink{at("/etc")}});
    EXPECT_EQ(failureOf(files.list(at("/iso/mid"), false)), Failure{Failure::SymbolicLink{at("/iso/mid")}});
    EXPECT_EQ(failureOf(files.read(at("/iso/mid/secret.iso"), 10)), Failure{Failure::SymbolicLink{at("/iso/mid")}});
    EXPECT_EQ(failureOf(files.read(at("/secret.iso"), 10)), Failure{Failure::SymbolicLink{at("/secret.iso")}});
    EXPECT_EQ(failureOf(files.read(at("/dangling.iso"), 10)), Failure{Failure::SymbolicLink{at("/dangling.iso")}});
    EXPECT_EQ(failureOf(files.directoryURL(at("/etc"))), Failure{Failure::SymbolicLink{at("/etc")}});
    EXPECT_EQ(files.makeDirectory(at("/etc/new")), Failure{Failure::SymbolicLink{at("/etc")}});
    EXPECT_EQ(files.makeDirectory(at("/dangling.iso")), Failure{Failure::SymbolicLink{at("/dangling.iso")}});
    EXPECT_EQ(pathsOf(files.listTree(VolumePath::root, false, 100)),
              (std::vector<std::string>{"/dangling.iso", "/etc", "/iso", "/iso/mid", "/secret.iso"}));

    const MountedDeleteReport report = files.remove({at("/etc/secret.iso"), at("/iso/mid/secret.iso")}, [] {
        return false;
    });
    EXPECT_EQ(report.outcomes[0].failure, Failure{Failure::SymbolicLink{at("/etc")}});
    EXPECT_EQ(report.outcomes[1].failure, Failure{Failure::SymbolicLink{at("/iso/mid")}});
    EXPECT_EQ(test::readFile(outside / "secret.iso"), (std::vector<std::uint8_t>{7, 7, 7}));
    EXPECT_FALSE(fs::exists(outside / "new"));
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
}

TEST_F(MountedVolumeFilesTest, ListsATreeDepthFirstWithinItsLimit) {
    file("a.iso");
    file("m/b.iso");
    file("m/deep/c.vtoy");
    file("m/.hidden/x.iso");
    file("z.iso");
    EXPECT_EQ(pathsOf(files.listTree(VolumePath::root, false, 100)),
              (std::vector<std::string>{"/a.iso", "/m", "/m/b.iso", "/m/deep", "/m/deep/c.vtoy", "/z.iso"}));
    EXPECT_EQ(pathsOf(files.listTree(at("/m"), false, 100)),
              (std::vector<std::string>{"/m/b.iso", "/m/deep", "/m/deep/c.vtoy"}));
    EXPECT_EQ(pathsOf(files.listTree(VolumePath::root, false, 6)).size(), 6u);
    EXPECT_EQ(failureOf(files.listTree(VolumePath::root, false, 5)), Failure{Failure::TooManyEntries{5}});
    EXPECT_EQ(failureOf(files.listTree(at("/a.iso"), false, 5)), Failure{Failure::NotADirectory{at("/a.iso")}});
}

TEST_F(MountedVolumeFilesTest, FailsAListingHoldingANameTheVolumeCannotStore) {
    file("ok.iso");
    file("what?.iso");
    const std::optional<Failure> failure = failureOf(files.list(VolumePath::root, false));
    const Failure expected{Failure::IoFailed{"list", VolumePath::root, "unrepresentable name \"what?.iso\""}};
    EXPECT_EQ(failure, expected);
}

TEST_F(MountedVolumeFilesTest, ReadsTheStartOfAFile) {
    test::writeFile(root / "ten.bin", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(files.read(at("/ten.bin"), 4), (MountedFileResult<MountedFileContent>{MountedFileContent{{0, 1, 2, 3}, 10}}));
    const auto none = std::get<MountedFileContent>(files.read(at("/ten.bin"), 0));
    EXPECT_TRUE(none.data.empty());
    EXPECT_TRUE(none.isTruncated());
    EXPECT_EQ(none.fileSizeBytes, 10);
    EXPECT_EQ(std::get<MountedFileContent>(files.read(at("/ten.bin"), -1)).data.size(), 0u);
    const auto all = std::get<MountedFileContent>(files.read(at("/ten.bin"), 100));
    EXPECT_EQ(all.data.size(), 10u);
    EXPECT_FALSE(all.isTruncated());
    ASSERT_EQ(::mkfifo((root / "fifo.iso").c_str(), 0644), 0);
    // Never waits for a writer that will not come.
    EXPECT_EQ(files.read(at("/fifo.iso"), 10), (MountedFileResult<MountedFileContent>{MountedFileContent{{}, 0}}));
}

TEST_F(MountedVolumeFilesTest, MakesEveryMissingFolder) {
    EXPECT_EQ(files.makeDirectory(VolumePath::root), std::nullopt);
    EXPECT_EQ(files.makeDirectory(at("/a/b/c")), std::nullopt);
    EXPECT_TRUE(fs::is_directory(root / "a" / "b" / "c"));
    EXPECT_EQ(files.makeDirectory(at("/a/b")), std::nullopt);
    file("a/f.iso");
    EXPECT_EQ(files.makeDirectory(at("/a/f.iso/x")), Failure{Failure::NotADirectory{at("/a/f.iso")}});
    EXPECT_FALSE(fs::exists(root / "a" / "f.iso" / "x"));
}

TEST_F(MountedVolumeFilesTest, DeletesFilesAndEmptyFoldersOneByOne) {
    file("a.iso", 100);
    file("full/b.iso", 5);
    fs::create_directory(root / "empty");
    const MountedDeleteReport report = files.remove(
        {at("/a.iso"), VolumePath::root, at("/full"), at("/empty"), at("/missing.iso"), at("/full/b.iso")},
        [] { return false; });
    const std::vector<MountedDeleteReport::Outcome> expected = {
        {at("/a.iso"), std::nullopt, 100},
        {VolumePath::root, Failure{Failure::RootNotDeletable{}}, 0},
        {at("/full"), Failure{Failure::DirectoryNotEmpty{at("/full")}}, 0},
        {at("/empty"), std::nullopt, 0},
        {at("/missing.iso"), Failure{Failure::NotFound{at("/missing.iso")}}, 0},
        {at("/full/b.iso"), std::nullopt, 5},
    };
    EXPECT_EQ(report, (MountedDeleteReport{expected, false}));
    EXPECT_EQ(report.removedBytes(), 105);
    EXPECT_TRUE(fs::is_directory(root / "full"));
    EXPECT_FALSE(fs::exists(root / "a.iso"));

    file("c.iso");
    EXPECT_EQ(files.remove({at("/c.iso")}, [] { return true; }), (MountedDeleteReport{{}, true}));
    EXPECT_TRUE(fs::exists(root / "c.iso"));
    int asked = 0;
    file("d.iso");
    const MountedDeleteReport stopped = files.remove({at("/c.iso"), at("/d.iso")}, [&asked] { return ++asked > 1; });
    EXPECT_EQ(stopped, (MountedDeleteReport{{{at("/c.iso"), std::nullopt, 3}}, true}));
    EXPECT_TRUE(fs::exists(root / "d.iso"));
}

// Runs `work` in a child process in which openat2 fails with ENOSYS, as on a kernel before
// 5.6, and gives back what it returned.
std::string withoutOpenat2(const std::function<std::string()>& work) {
    return test::inChildProcess([&work]() -> std::string {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            return "could not take openat2 away";
        }
        open_how how{};
        how.flags = O_RDONLY;
        const bool gone = ::syscall(SYS_openat2, AT_FDCWD, "/", &how, sizeof how) < 0 && errno == ENOSYS;
        return gone ? work() : "openat2 still answers";
    });
}

// Without openat2 every name is still opened on its own, never through a link, and a
// folder of another file system is still refused by its device number: the answers are
// the same, word for word. (A bind mount of the volume's own folder shows the same device
// number; only openat2 tells it apart.)
TEST_F(MountedVolumeFilesTest, AnswersTheSameWithoutOpenat2) {
    fs::create_directory_symlink(outside, root / "etc");
    fs::create_directory(root / "iso");
    fs::create_directory_symlink(outside, root / "iso" / "mid");
    fs::create_symlink(root / "nowhere.iso", root / "dangling.iso");
    file("iso/own.iso");
    fs::create_directory(root / "mnt");
    // As root, a tmpfs on a folder of the volume; otherwise the links alone.
    const bool mounted = ::geteuid() == 0 && ::mount("marlowick-test", (root / "mnt").c_str(), "tmpfs", 0, nullptr) == 0;
    if (mounted) test::writeFile(root / "mnt" / "inside.iso", {9});

    const auto answers = [this] {
        std::string text;
        const auto add = [&text](const auto& value) { text += ::testing::PrintToString(value) + "\n"; };
        const auto addRead = [&text](const MountedFileResult<MountedFileContent>& read) {
            const auto* content = std::get_if<MountedFileContent>(&read);
            text += content == nullptr ? render(std::get<Failure>(read))
                                       : "read " + std::to_string(content->data.size()) + " of " +
                                             std::to_string(content->fileSizeBytes) + " bytes";
            text += "\n";
        };
        add(files.list(at("/etc"), false));
        add(files.list(at("/iso/mid"), false));
        addRead(files.read(at("/iso/mid/secret.iso"), 10));
        addRead(files.read(at("/dangling.iso"), 10));
        addRead(files.read(at("/iso/own.iso"), 10));
        add(files.makeDirectory(at("/etc/new")));
        add(files.listTree(at("/iso"), false, 100));
        add(files.list(at("/mnt"), false));
        addRead(files.read(at("/mnt/inside.iso"), 10));
        add(files.remove({at("/iso/mid/secret.iso"), at("/mnt/inside.iso")}, [] { return false; }));
        return text;
    };
    const std::string withOpenat2 = answers();
    const std::string without = withoutOpenat2(answers);
    if (mounted) {
        EXPECT_EQ(::umount2((root / "mnt").c_str(), 0), 0);
    }
    EXPECT_EQ(without, withOpenat2);
    EXPECT_NE(withOpenat2.find("symbolicLink(path: \"/iso/mid\")"), std::string::npos) << withOpenat2;
    if (mounted) {
        EXPECT_NE(withOpenat2.find("another file system is mounted here"), std::string::npos) << withOpenat2;
    }
    EXPECT_EQ(test::readFile(outside / "secret.iso"), (std::vector<std::uint8_t>{7, 7, 7}));
    EXPECT_FALSE(fs::exists(outside / "new"));
}

TEST(MountedVolumeFilesOrder, ComparesNamesCaseInsensitivelyAndDigitsByValue) {
    EXPECT_TRUE(MountedVolumeFiles::nameOrder("file1.iso", "File2.iso"));
    EXPECT_TRUE(MountedVolumeFiles::nameOrder("File2.iso", "file10.iso"));
    EXPECT_FALSE(MountedVolumeFiles::nameOrder("file10.iso", "file9.iso"));
    EXPECT_FALSE(MountedVolumeFiles::nameOrder("a", "A"));
    EXPECT_FALSE(MountedVolumeFiles::nameOrder("A", "a"));
}

}  // namespace
}  // namespace marlowick
