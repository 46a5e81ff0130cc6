// The verified copier in a temporary folder: every refusal before a byte is written, the
// copy itself, corruption caught by the read-back, and no file left behind by a failure or
// a cancel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "Bytes/Sha256.hpp"
#include "Files/MountedImageCopier.hpp"
#include "Files/NotAFileSources.hpp"
#include "Files/OtherProcessLock.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Result = MountedImageCopyResult;
namespace fs = std::filesystem;

std::vector<std::uint8_t> pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class MountedImageCopierTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(volume);
        test::writeFile(source, pattern(sourceSize));
        copier.spaceProbe = [](const std::string&) { return std::optional<VolumeSpace>{{1 << 30, 1LL << 31}}; };
        copier.fileSizeLimitProbe = [](const std::string&) { return std::optional<std::int64_t>{}; };
    }
    Result copy(const std::string& name, std::int64_t size, bool verify = true,
                const std::function<bool()>& isCancelled = [] { return false; }) {
        return copier.copy(source.string(), name, size, volume, verify, nullptr, nullptr, isCancelled);
    }

    static constexpr std::size_t sourceSize = 100000;
    test::TempDir dir;
    fs::path volume = dir.file("volume");
    fs::path source = dir.file("image.iso");
    MountedImageCopier copier{4096};
};

TEST_F(MountedImageCopierTest, CopiesVerifiesAndReportsProgressAndSpace) {
    std::vector<ByteProgress> written, verified;
    const Result result = copier.copy(
        source.string(), "image.iso", sourceSize, volume, true, [&](const ByteProgress& p) { written.push_back(p); },
        [&](const ByteProgress& p) { verified.push_back(p); }, [] { return false; });
    EXPECT_EQ(result, (Result{Result::Copied{sourceSize, 1 << 30, 1LL << 31}}));
    EXPECT_EQ(namesIn(volume), std::vector<std::string>{"image.iso"});
    EXPECT_EQ(test::readFile(volume / "image.iso"), pattern(sourceSize));
    ASSERT_EQ(written.size(), (sourceSize + 4095) / 4096);
    EXPECT_EQ(written.front(), (ByteProgress{4096, sourceSize}));
    EXPECT_EQ(written.back(), (ByteProgress{sourceSize, sourceSize}));
    EXPECT_EQ(verified, written);
}

TEST_F(MountedImageCopierTest, RefusesBeforeWritingAnything) {
    struct Case {
        const char* name;
        std::string fileName;
        std::int64_t size;
        Result expected;
    };
    const std::string name255 = std::string(251, 'a') + ".iso";
    const Case cases[] = {
        {"negativeSize", "a.iso", -1, {Result::Rejected{ExfatWriteError{ExfatWriteError::NegativeSize{-1}}}}},
        {"emptyName", "", sourceSize, {Result::Rejected{ExfatWriteError{ExfatWriteError::EmptyName{}}}}},
        {"name256", name255 + "x", sourceSize, {Result::Rejected{ExfatWriteError{ExfatWriteError::NameTooLong{256}}}}},
        {"dotDot", "..", sourceSize, {Result::NameNotStorable{}}},
        {"colon", "a:b.iso", sourceSize, {Result::NameNotStorable{}}},
        {"slash", "x/a.iso", sourceSize, {Result::NameNotStorable{}}},
        // The application declares 0 when it could not read the size: the copy must not
        // "succeed" with an empty file.
        {"declaredZero", "a.iso", 0, {Result::SourceSizeMismatch{0, sourceSize}}},
        {"declaredSmaller", "a.iso", sourceSize - 1, {Result::SourceSizeMismatch{sourceSize - 1, sourceSize}}},
        {"sourceTenBytesShort", "a.iso", sourceSize + 10, {Result::SourceTooShort{sourceSize + 10, sourceSize}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(copy(c.fileName, c.size), c.expected);
        EXPECT_TRUE(namesIn(volume).empty());
    }
    EXPECT_EQ(copy(name255, sourceSize), (Result{Result::Copied{sourceSize, 1 << 30, 1LL << 31}}));

    const Result missing = copier.copy(dir.file("gone.iso").string(), "a.iso", 1, volume, true, nullptr, nullptr,
                                       [] { return false; });
    EXPECT_EQ(missing, (Result{Result::SourceUnreadable{"errno 2 (No such file or directory)"}}));
    const Result folder = copier.copy(volume.string(), "a.iso", 0, volume, true, nullptr, nullptr, [] { return false; });
    EXPECT_EQ(folder, (Result{Result::SourceNotAFile{"a directory"}}));
}

// Picked as the image, none of these is a file. Each is refused at once with what it is,
// before anything is created on the volume; the FIFO is the one an open would wait on.
TEST_F(MountedImageCopierTest, RefusesASourceThatIsNoFileAtOnce) {
    const std::vector<test::NotAFileSource> sources = test::makeNotAFileSources(dir.path());
    ASSERT_FALSE(sources.empty());
    for (const test::NotAFileSource& source : sources) {
        SCOPED_TRACE(source.name);
        std::optional<Result> result;
        std::optional<Result> refusal;
        const bool finished = test::finishesWithin(
            std::chrono::seconds(10),
            [&] {
                result = copier.copy(source.path.string(), "a.iso", 0, volume, true, nullptr, nullptr,
                                     [] { return false; });
                refusal = MountedImageCopier::sourceRefusal(source.path.string());
            },
            sources);
        EXPECT_TRUE(finished) << "the copy waited on the source";
        EXPECT_EQ(result, (Result{Result::SourceNotAFile{source.kind}}));
        EXPECT_EQ(refusal, result);
        EXPECT_TRUE(namesIn(volume).empty());
    }
}

// A copy killed mid-way left its partial file; the next copy into the folder removes it,
// but not the partial file of a copy that another process is still writing.
TEST_F(MountedImageCopierTest, RemovesPartialFilesThatNoCopyIsWriting) {
    test::writeFile(volume / ".marlowick-partial-0badf00d", pattern(4096));
    test::writeFile(volume / ".marlowick-partial-1i7e0000", pattern(4096));
    const std::unique_ptr<test::OtherProcessLock> live =
        test::OtherProcessLock::take(volume / ".marlowick-partial-1i7e0000");
    ASSERT_TRUE(live);
    EXPECT_EQ(copy("image.iso", sourceSize), (Result{Result::Copied{sourceSize, 1 << 30, 1LL << 31}}));
    EXPECT_EQ(namesIn(volume), (std::vector<std::string>{".marlowick-partial-1i7e0000", "image.iso"}));
}

TEST_F(MountedImageCopierTest, ChecksTheFileSizeLimitAndFreeSpaceBeforeCreatingAnything) {
    // A sparse image of 4 GiB + 1 byte onto FAT32 (a limit of 4 GiB - 1) is refused at once.
    const fs::path huge = dir.file("huge.img");
    test::createSparseFile(huge, 4294967297);
    copier.fileSizeLimitProbe = [](const std::string&) { return std::optional<std::int64_t>{4294967295}; };
    EXPECT_EQ(copier.copy(huge.string(), "huge.img", 4294967297, volume, true, nullptr, nullptr, [] { return false; }),
              (Result{Result::TooLargeForFilesystem{4294967297, 4294967295}}));
    EXPECT_TRUE(namesIn(volume).empty());
    // 4 GiB - 1 bytes pass the limit; here the free space stops it, still before any write.
    const fs::path fits = dir.file("fits.img");
    test::createSparseFile(fits, 4294967295);
    copier.spaceProbe = [](const std::string&) { return std::optional<VolumeSpace>{{4294967294, 1LL << 33}}; };
    EXPECT_EQ(copier.copy(fits.string(), "fits.img", 4294967295, volume, true, nullptr, nullptr, [] { return false; }),
              (Result{Result::NotEnoughSpace{4294967295, 4294967294}}));
    EXPECT_TRUE(namesIn(volume).empty());

    // An exact fit passes.
    copier.spaceProbe = [](const std::string&) { return std::optional<VolumeSpace>{{sourceSize, sourceSize}}; };
    EXPECT_EQ(copy("a.iso", sourceSize), (Result{Result::Copied{sourceSize, sourceSize, sourceSize}}));
    // An unknown space passes too, and the result says -1.
    copier.spaceProbe = [](const std::string&) { return std::optional<VolumeSpace>{}; };
    EXPECT_EQ(copy("b.iso", sourceSize), (Result{Result::Copied{sourceSize, -1, -1}}));
}

TEST_F(MountedImageCopierTest, NeverReplacesAnythingOfThatName) {
    fs::create_directory(volume / "folder.iso");
    test::writeFile(volume / "file.iso", {1, 2, 3});
    fs::create_symlink("/nonexistent", volume / "dangling.iso");
    fs::create_symlink("/etc", volume / "etc.iso");
    for (const char* name : {"folder.iso", "file.iso", "dangling.iso", "etc.iso"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(copy(name, sourceSize), Result{Result::AlreadyExists{}});
    }
    EXPECT_EQ(namesIn(volume), (std::vector<std::string>{"dangling.iso", "etc.iso", "file.iso", "folder.iso"}));
    EXPECT_EQ(test::readFile(volume / "file.iso"), (std::vector<std::uint8_t>{1, 2, 3}));

    // A name taken while the copy ran: the rename refuses to replace it.
    copier.beforeVerify = [this](const std::string&) { test::writeFile(volume / "late.iso", {9}); };
    EXPECT_EQ(copy("late.iso", sourceSize), Result{Result::AlreadyExists{}});
    EXPECT_EQ(test::readFile(volume / "late.iso"), std::vector<std::uint8_t>{9});
    EXPECT_EQ(namesIn(volume).size(), 5u);
}

TEST_F(MountedImageCopierTest, CatchesACopyCorruptedBeforeTheReadBack) {
    std::string partial;
    copier.beforeVerify = [&partial](const std::string& path) {
        partial = path;
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(5000);
        file.put('\xAA');
    };
    const Result result = copy("a.iso", sourceSize);
    const auto* failed = std::get_if<Result::VerificationFailed>(&result.value);
    ASSERT_TRUE(failed) << render(result);
    EXPECT_TRUE(failed->reason.starts_with("SHA-256 mismatch — wrote " + Sha256::hex(pattern(sourceSize)) +
                                           ", read back "))
        << failed->reason;
    EXPECT_TRUE(fs::path(partial).filename().string().starts_with(".marlowick-partial-"));
    EXPECT_EQ(fs::path(partial).filename().string().size(), std::string(".marlowick-partial-").size() + 8);
    EXPECT_TRUE(namesIn(volume).empty());

    // Without verification the same damage goes unseen and the copy gets its name.
    EXPECT_EQ(copy("b.iso", sourceSize, false), (Result{Result::Copied{sourceSize, 1 << 30, 1LL << 31}}));
    EXPECT_NE(test::readFile(volume / "b.iso"), pattern(sourceSize));

    // A copy cut short after the flush fails its size check.
    copier.beforeVerify = nullptr;
    copier.beforeVerify = [](const std::string& path) { fs::resize_file(path, 10); };
    EXPECT_EQ(copy("c.iso", sourceSize),
              (Result{Result::VerificationFailed{"the copy re-read short at byte 10"}}));
    EXPECT_EQ(namesIn(volume), std::vector<std::string>{"b.iso"});
}

TEST_F(MountedImageCopierTest, CancelLeavesNothingBehind) {
    int asked = 0;
    EXPECT_EQ(copy("a.iso", sourceSize, true, [&asked] { return ++asked > 0; }), Result{Result::Cancelled{}});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(namesIn(volume).empty());

    // During the write, after a few chunks.
    asked = 0;
    EXPECT_EQ(copy("a.iso", sourceSize, true, [&asked] { return ++asked > 3; }), Result{Result::Cancelled{}});
    EXPECT_TRUE(namesIn(volume).empty());

    // During the read-back: the fully written partial file goes too.
    asked = 0;
    const int writeChunks = (sourceSize + 4095) / 4096;
    bool sawPartial = false;
    copier.beforeVerify = [&](const std::string& path) { sawPartial = fs::file_size(path) == sourceSize; };
    EXPECT_EQ(copy("a.iso", sourceSize, true, [&] { return ++asked > writeChunks + 2; }), Result{Result::Cancelled{}});
    EXPECT_TRUE(sawPartial);
    EXPECT_TRUE(namesIn(volume).empty());
}

TEST_F(MountedImageCopierTest, CopiesAnEmptyFileAndWorksInOneByteChunks) {
    const fs::path empty = dir.file("empty.img");
    test::writeFile(empty, {});
    int progressCalls = 0;
    const Result result = copier.copy(
        empty.string(), "empty.img", 0, volume, true, [&](const ByteProgress&) { ++progressCalls; },
        [&](const ByteProgress&) { ++progressCalls; }, [] { return false; });
    EXPECT_EQ(result, (Result{Result::Copied{0, 1 << 30, 1LL << 31}}));
    EXPECT_EQ(progressCalls, 0);
    EXPECT_EQ(fs::file_size(volume / "empty.img"), 0u);

    for (const int chunk : {0, -5}) {
        MountedImageCopier tiny{chunk};
        EXPECT_EQ(tiny.chunkBytes, 1);
    }
    MountedImageCopier tiny{0};
    tiny.spaceProbe = copier.spaceProbe;
    const fs::path small = dir.file("small.img");
    test::writeFile(small, {1, 2, 3, 4, 5});
    std::vector<std::int64_t> steps;
    EXPECT_TRUE(std::holds_alternative<Result::Copied>(
        tiny.copy(small.string(), "small.img", 5, volume, true, [&](const ByteProgress& p) { steps.push_back(p.currentBytes); },
                  nullptr, [] { return false; })
            .value));
    EXPECT_EQ(steps, (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
}

// A tmpfs of 1 MiB that the space probe claims is large: the disk fills up during the write.
TEST_F(MountedImageCopierTest, RemovesThePartialFileWhenTheVolumeFillsUp) {
    MARLOWICK_REQUIRE_ROOT();
    const fs::path small = dir.file("small");
    fs::create_directory(small);
    ASSERT_EQ(::mount("marlowick-test", small.c_str(), "tmpfs", 0, "size=1m"), 0) << errno;
    const fs::path big = dir.file("big.img");
    test::writeFile(big, pattern(2 << 20));
    int probes = 0;
    copier.spaceProbe = [&probes](const std::string& folder) {
        ++probes;
        return probes == 1 ? std::optional<VolumeSpace>{{1 << 30, 1 << 30}} : MountedImageCopier::statfsSpace(folder);
    };
    const Result result = copier.copy(big.string(), "big.img", 2 << 20, small, true, nullptr, nullptr,
                                      [] { return false; });
    const std::vector<std::string> left = namesIn(small);
    const std::optional<VolumeSpace> space = MountedImageCopier::statfsSpace(small.string());
    ASSERT_EQ(::umount2(small.c_str(), 0), 0);
    ASSERT_TRUE(space);
    EXPECT_EQ(result, (Result{Result::NotEnoughSpace{2 << 20, space->free}}));
    EXPECT_EQ(space->free, 1 << 20);
    EXPECT_TRUE(left.empty());
}

// Runs one copy in a child process whose file size limit is `limitBytes`, so that a write
// past it fails with EFBIG as a failing medium would, and gives back the result's text.
std::string copyUnderFileSizeLimit(const MountedImageCopier& copier, const fs::path& source, std::int64_t size,
                                   const fs::path& into, rlim_t limitBytes) {
    return test::inChildProcess([&]() -> std::string {
        (void)std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "could not limit the file size";
        return render(copier.copy(source.string(), "a.iso", size, into, true, nullptr, nullptr, [] { return false; }));
    });
}

// Failures once the copy has begun: the source shrinking under it, the folder gone, a write
// refused by the file system. Each names what failed and leaves no file, partial or final.
TEST_F(MountedImageCopierTest, FailsMidwayWithoutLeavingAFile) {
    const fs::path shrinking = dir.file("shrinking.iso");
    test::writeFile(shrinking, pattern(sourceSize));
    const Result shrunk = copier.copy(
        shrinking.string(), "a.iso", sourceSize, volume, true,
        [&shrinking](const ByteProgress& p) {
            if (p.currentBytes == 8192) fs::resize_file(shrinking, 10000);
        },
        nullptr, [] { return false; });
    EXPECT_EQ(shrunk, (Result{Result::SourceTooShort{sourceSize, 10000}}));
    EXPECT_TRUE(namesIn(volume).empty());

    const Result noFolder = copier.copy(source.string(), "a.iso", sourceSize, dir.file("gone"), true, nullptr, nullptr,
                                        [] { return false; });
    EXPECT_EQ(noFolder, (Result{Result::IoFailed{"create", "write", "errno 2 (No such file or directory)"}}));

    EXPECT_EQ(copyUnderFileSizeLimit(copier, source, sourceSize, volume, 16384),
              render(Result{Result::IoFailed{"write", "write", "errno 27 (File too large)"}}));
    EXPECT_TRUE(namesIn(volume).empty());
}

// A file system mounted read-only refuses the partial file itself (root only, for the mount).
TEST_F(MountedImageCopierTest, NamesAReadOnlyVolumeAtCreation) {
    MARLOWICK_REQUIRE_ROOT();
    const fs::path readOnly = dir.file("read-only");
    fs::create_directory(readOnly);
    ASSERT_EQ(::mount("marlowick-test", readOnly.c_str(), "tmpfs", MS_RDONLY, "size=1m"), 0) << errno;
    const Result result =
        copier.copy(source.string(), "a.iso", sourceSize, readOnly, true, nullptr, nullptr, [] { return false; });
    const std::vector<std::string> left = namesIn(readOnly);
    ASSERT_EQ(::umount2(readOnly.c_str(), 0), 0);
    EXPECT_EQ(result, (Result{Result::IoFailed{"create", "write", "errno 30 (Read-only file system)"}}));
    EXPECT_TRUE(left.empty());
}

TEST(MountedImageCopierStatics, RenderErrnoAndReadFully) {
    EXPECT_EQ(MountedImageCopier::errnoDetail(28), "errno 28 (No space left on device)");
    test::TempDir dir;
    test::writeFile(dir.file("f"), {1, 2, 3});
    const int fd = ::open(dir.file("f").c_str(), O_RDONLY);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(MountedImageCopier::readFully(fd, buffer, 8), 3);
    ::close(fd);
    EXPECT_EQ(MountedImageCopier::readFully(-1, buffer, 8), -EBADF);
    EXPECT_EQ(MountedImageCopier::mountFileSizeLimit(dir.path().string()), std::nullopt);
}

}  // namespace
}  // namespace marlowick
