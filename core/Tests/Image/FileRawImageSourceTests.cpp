#include "Image/FileRawImageSource.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "Files/NotAFileSources.hpp"
#include "Image/ImageTestSupport.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

TEST(FileRawImageSource, ReadsTheWholeFileWithItsSize) {
    test::TempDir dir;
    std::vector<std::uint8_t> bytes(300 * 1024 + 17);
    std::mt19937 random(7);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    test::writeFile(dir.file("disk.img"), bytes);
    const FileRawImageSource source(dir.file("disk.img").string());
    EXPECT_EQ(source.sizeBytes(), static_cast<std::int64_t>(bytes.size()));
    for (const std::int64_t chunk : {1 << 20, 4096, 1}) {
        SCOPED_TRACE(chunk);
        const test::StreamContents read = test::readToEnd(source, chunk);
        EXPECT_EQ(read.failure, "");
        EXPECT_EQ(read.bytes, bytes);
    }
}

TEST(FileRawImageSource, AnEmptyFileEndsAtOnceAndAClosedStreamReadsNothing) {
    test::TempDir dir;
    test::writeFile(dir.file("empty.img"), {});
    const FileRawImageSource source(dir.file("empty.img").string());
    EXPECT_EQ(source.sizeBytes(), 0);
    RawImageOpenResult opened = source.open();
    auto& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
    std::vector<std::uint8_t> buffer(16);
    EXPECT_EQ(stream.read(buffer, 0, 0), RawImageReadResult::bytes(0));
    EXPECT_EQ(stream.read(buffer, 0, 16), RawImageReadResult::endOfStream());
    stream.close();
    stream.close();
    EXPECT_EQ(stream.read(buffer, 0, 16), RawImageReadResult::endOfStream());
}

// A refused path: no size, and open() fails with this text.
struct RefusalCase {
    const char* name;
    std::string path;
    std::string detail;
};

void expectRefused(const RefusalCase& c) {
    SCOPED_TRACE(c.name);
    const FileRawImageSource source(c.path);
    EXPECT_EQ(source.sizeBytes(), std::nullopt);
    const RawImageOpenResult opened = source.open();
    const auto* failed = std::get_if<RawImageOpenResult::Failed>(&opened.value);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->detail, c.detail);
}

TEST(FileRawImageSource, RefusesWhatIsNotARegularFile) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("images.img"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.img").c_str(), 0600), 0);
    ASSERT_TRUE(test::makeSocketNode(dir.file("socket.img")));
    const RefusalCase cases[] = {
        {"missing", dir.file("gone.iso").string(), "could not open gone.iso for reading"},
        {"directory", dir.file("images.img").string() + "/",
         "could not open images.img for reading: it is a directory, not an image file"},
        // Opening must not wait for a writer to appear on the other end.
        {"fifo", dir.file("pipe.img").string(), "could not open pipe.img for reading: it is a FIFO, not an image file"},
        {"characterDevice", "/dev/zero", "could not open zero for reading: it is a character device, not an image file"},
        // open(2) cannot open a socket at all; it is refused for what it is all the same.
        {"socket", dir.file("socket.img").string(),
         "could not open socket.img for reading: it is a socket, not an image file"},
    };
    for (const RefusalCase& c : cases) expectRefused(c);
}

TEST(FileRawImageSource, RefusesABlockDevice) {
    // Loop device nodes exist without root; only opening one needs it.
    if (!std::filesystem::exists("/dev/loop0")) GTEST_SKIP() << "no /dev/loop0 node";
    if (!test::isRoot()) {
        const FileRawImageSource source("/dev/loop0");
        EXPECT_EQ(source.sizeBytes(), std::nullopt);
        EXPECT_TRUE(std::holds_alternative<RawImageOpenResult::Failed>(source.open().value));
        return;
    }
    expectRefused({"blockDevice", "/dev/loop0", "could not open loop0 for reading: it is a block device, not an image file"});
}

}  // namespace
}  // namespace marlowick
