// The mounted-volume file layer on a real exFAT partition of a loop device (root only), with
// other mounts standing on its folders: a tmpfs mounted on one folder, and a bind mount of
// one of the volume's own folders onto another. Neither is part of the volume: nothing is
// listed below them, read from them, made in them or deleted from them.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedVolumeFiles.hpp"
#include "Files/PartitionedLoop.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Failure = MountedFileFailure;

VolumePath at(const std::string& text) { return *VolumePath::parse(text); }

template <class Value>
std::optional<Failure> failureOf(const MountedFileResult<Value>& result) {
    if (const auto* failure = std::get_if<Failure>(&result)) return *failure;
    return std::nullopt;
}

Failure crossing(const std::string& operation, const std::string& path) {
    return Failure{Failure::IoFailed{operation, at(path), "another file system is mounted here"}};
}

// A mount made by the test on a folder, undone by its own mount point however the test ends.
class FolderMount {
public:
    FolderMount(const std::string& source, const fs::path& target, const char* type, unsigned long flags)
        : point(target) {
        made = ::mount(source.c_str(), target.c_str(), type, flags, nullptr) == 0;
    }
    ~FolderMount() { undo(); }
    FolderMount(const FolderMount&) = delete;
    FolderMount& operator=(const FolderMount&) = delete;
    void undo() {
        if (made) (void)::umount2(point.c_str(), 0);
        made = false;
    }
    bool made = false;

private:
    fs::path point;
};

class MountedVolumeFilesOnLoop : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        loop = test::PartitionedLoop::create("exfat", 131072, whyNot);
        if (!loop) GTEST_SKIP() << whyNot;
        MountCommandVolumeProbe probe(std::chrono::seconds(30), mounts.path().string());
        const VolumeMountAttempt attempt = probe.mount(loop->partitionName());
        if (const auto* failed = std::get_if<VolumeMountAttempt::Failed>(&attempt.value)) {
            GTEST_SKIP() << "cannot mount exfat: " << failed->detail;
        }
        root = mounts.path() / loop->partitionName();
    }
    void TearDown() override {
        if (loop) loop->unmountAll();
    }

    std::unique_ptr<test::PartitionedLoop> loop;
    test::TempDir mounts;
    fs::path root;
};

TEST_F(MountedVolumeFilesOnLoop, NeverCrossesIntoAnotherMount) {
    fs::create_directories(root / "mnt");
    fs::create_directories(root / "iso");
    fs::create_directories(root / "bound");
    test::writeFile(root / "iso" / "own.iso", {1, 2, 3});
    FolderMount tmpfs("marlowick-test", root / "mnt", "tmpfs", 0);
    ASSERT_TRUE(tmpfs.made) << "cannot mount a tmpfs on " << (root / "mnt");
    test::writeFile(root / "mnt" / "inside.iso", {9, 9});
    FolderMount bind((root / "iso").string(), root / "bound", nullptr, MS_BIND);
    ASSERT_TRUE(bind.made) << "cannot bind-mount " << (root / "iso");

    const MountedVolumeFiles files{root};
    // Naming a mount point in its folder's listing is harmless; going through it is not.
    EXPECT_TRUE(std::holds_alternative<std::vector<MountedEntry>>(files.list(VolumePath::root, false)));
    EXPECT_EQ(failureOf(files.list(at("/mnt"), false)), crossing("stat", "/mnt"));
    EXPECT_EQ(failureOf(files.read(at("/mnt/inside.iso"), 10)), crossing("stat", "/mnt"));
    EXPECT_EQ(failureOf(files.directoryURL(at("/mnt"))), crossing("stat", "/mnt"));
    EXPECT_EQ(failureOf(files.listTree(at("/iso"), false, 100)), std::nullopt);
    EXPECT_EQ(failureOf(files.listTree(VolumePath::root, false, 100)), crossing("list", "/bound"));
    EXPECT_EQ(files.makeDirectory(at("/mnt/new")), crossing("stat", "/mnt"));
    // The same file system seen again through a bind mount: only the mount tells them apart.
    EXPECT_EQ(failureOf(files.list(at("/bound"), false)), crossing("list", "/bound"));
    EXPECT_EQ(failureOf(files.read(at("/bound/own.iso"), 10)), crossing("stat", "/bound"));
    const MountedDeleteReport report =
        files.remove({at("/mnt/inside.iso"), at("/mnt"), at("/bound/own.iso")}, [] { return false; });
    ASSERT_EQ(report.outcomes.size(), 3u);
    EXPECT_EQ(report.outcomes[0].failure, crossing("stat", "/mnt"));
    EXPECT_EQ(report.outcomes[1].failure, crossing("stat", "/mnt"));
    EXPECT_EQ(report.outcomes[2].failure, crossing("stat", "/bound"));

    EXPECT_EQ(test::readFile(root / "mnt" / "inside.iso"), (std::vector<std::uint8_t>{9, 9}));
    EXPECT_FALSE(fs::exists(root / "mnt" / "new"));
    EXPECT_TRUE(fs::exists(root / "iso" / "own.iso"));

    // With the mounts gone, the same paths are the volume's own folders again.
    bind.undo();
    tmpfs.undo();
    EXPECT_EQ(failureOf(files.list(at("/mnt"), false)), std::nullopt);
    EXPECT_EQ(files.makeDirectory(at("/mnt/new")), std::nullopt);
    EXPECT_EQ(failureOf(files.listTree(VolumePath::root, false, 100)), std::nullopt);
}

}  // namespace
}  // namespace marlowick
