// The copier on real mounted file systems of a loop device (root only). Its read-back must
// read what the medium holds, not the pages the kernel kept of the write: the copy's bytes
// are changed on the device behind the file system's back before the read-back, and the
// copier must see the change. A plain re-read through the mount is the control that shows
// whether the file system would have served its cached copy instead.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/MountedImageCopier.hpp"
#include "Files/MountedVolumeFiles.hpp"
#include "Files/PartitionedLoop.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Result = MountedImageCopyResult;

std::vector<std::uint8_t> randomBytes(std::size_t size) {
    std::mt19937_64 generator(0x5eed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

// Finds `needle` on the device and overwrites its first 4096 bytes there with `with`.
bool overwriteOnDevice(const std::string& device, const std::vector<std::uint8_t>& needle, std::uint8_t with) {
    const int fd = ::open(device.c_str(), O_RDWR);
    if (fd < 0) return false;
    std::vector<std::uint8_t> chunk(8 << 20);
    off_t offset = 0;
    bool found = false;
    while (!found) {
        const ssize_t n = ::pread(fd, chunk.data(), chunk.size(), offset);
        if (n <= 0) break;
        for (ssize_t i = 0; i + 4096 <= n; i += 512) {
            if (std::memcmp(chunk.data() + i, needle.data(), 4096) == 0) {
                const std::vector<std::uint8_t> changed(4096, with);
                found = ::pwrite(fd, changed.data(), 4096, offset + i) == 4096 && ::fsync(fd) == 0;
                break;
            }
        }
        offset += n - 4096;
    }
    ::close(fd);
    return found;
}

std::vector<std::uint8_t> plainRead(const std::string& path, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::pread(fd, bytes.data(), count, 0) != static_cast<ssize_t>(count)) bytes.clear();
    if (fd >= 0) ::close(fd);
    return bytes;
}

class CopierOnMountedVolume : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string whyNot;
        loop = test::PartitionedLoop::create(GetParam(), 131072, whyNot);
        if (!loop) GTEST_SKIP() << whyNot;
        MountCommandVolumeProbe probe(std::chrono::seconds(30), mounts.path().string());
        const VolumeMountAttempt attempt = probe.mount(loop->partitionName());
        if (const auto* failed = std::get_if<VolumeMountAttempt::Failed>(&attempt.value)) {
            GTEST_SKIP() << "cannot mount " << GetParam() << ": " << failed->detail;
        }
        root = mounts.path() / loop->partitionName();
    }
    void TearDown() override {
        if (loop) loop->unmountAll();
    }

    std::unique_ptr<test::PartitionedLoop> loop;
    test::TempDir mounts;
    test::TempDir sources;
    fs::path root;
};

TEST_P(CopierOnMountedVolume, ReadsTheCopyBackFromTheMedium) {
    const std::vector<std::uint8_t> image = randomBytes(1 << 20);
    test::writeFile(sources.file("image.iso"), image);
    MountedImageCopier copier(65536);
    bool changed = false;
    std::vector<std::uint8_t> seenByPlainRead;
    copier.beforeVerify = [&](const std::string& partial) {
        changed = overwriteOnDevice(loop->partitionNode(), image, 0xEE);
        seenByPlainRead = plainRead(partial, 4096);
    };
    const Result result = copier.copy(sources.file("image.iso").string(), "image.iso", 1 << 20, root, true, nullptr,
                                      nullptr, [] { return false; });
    ASSERT_TRUE(changed) << "the copy's bytes were not found on the device";
    const auto* failed = std::get_if<Result::VerificationFailed>(&result.value);
    ASSERT_TRUE(failed) << render(result);
    EXPECT_TRUE(failed->reason.starts_with("SHA-256 mismatch")) << failed->reason;
    EXPECT_FALSE(fs::exists(root / "image.iso"));
    if (seenByPlainRead == std::vector<std::uint8_t>(image.begin(), image.begin() + 4096)) {
        SUCCEED() << "a plain re-read served the cached write; the copier's read-back did not";
    } else {
        SUCCEED() << GetParam() << " re-reads the medium on every open; the control shows no cache here";
    }
}

TEST_P(CopierOnMountedVolume, CopiesListsAndDeletesOnTheRealVolume) {
    const std::vector<std::uint8_t> image = randomBytes(3 << 20);
    test::writeFile(sources.file("image.iso"), image);
    MountedImageCopier copier(1 << 20);
    const Result result = copier.copy(sources.file("image.iso").string(), "image.iso", 3 << 20, root, true, nullptr,
                                      nullptr, [] { return false; });
    ASSERT_TRUE(std::holds_alternative<Result::Copied>(result.value)) << render(result);
    EXPECT_EQ(test::runCommand("cmp '" + sources.file("image.iso").string() + "' '" + (root / "image.iso").string() + "'")
                  .exitCode,
              0);
    // Links cannot be planted on exFAT; where the file system takes one, it is refused.
    const bool linked = ::symlink("/etc", (root / "etc").c_str()) == 0;
    MountedVolumeFiles files{root};
    if (linked) {
        EXPECT_EQ(files.list(*VolumePath::parse("/etc"), false),
                  (MountedFileResult<std::vector<MountedEntry>>{
                      MountedFileFailure{MountedFileFailure::SymbolicLink{*VolumePath::parse("/etc")}}}));
    }
    const MountedDeleteReport report = files.remove({*VolumePath::parse("/image.iso")}, [] { return false; });
    EXPECT_EQ(report.removedBytes(), 3 << 20);
    EXPECT_FALSE(fs::exists(root / "image.iso"));
}

INSTANTIATE_TEST_SUITE_P(FileSystems, CopierOnMountedVolume, ::testing::Values("exfat", "ext4"));

}  // namespace
}  // namespace marlowick
