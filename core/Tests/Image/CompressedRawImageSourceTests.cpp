#include "Image/CompressedRawImageSource.hpp"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>

#include "Image/DataRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"
#include "Image/ImageTestSupport.hpp"
#include "Support/GzipMembers.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Text-like runs that compress well around a random middle that deflate can only store,
// so that a flipped byte in the middle of a .gz changes one decoded byte and nothing else.
Bytes imageBytes(unsigned seed) {
    Bytes bytes;
    std::mt19937 random(seed);
    const auto addText = [&](int lines) {
        for (int i = 0; i < lines; ++i) {
            const std::string line = "sector " + std::to_string(i * seed) + " of the test image\n";
            bytes.insert(bytes.end(), line.begin(), line.end());
        }
    };
    addText(2500);
    for (int i = 0; i < 200 * 1024; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
    addText(2500);
    return bytes;
}

std::string hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::uint32_t crcOf(const Bytes& bytes) {
    return static_cast<std::uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::uint32_t trailerField(const Bytes& gz, std::size_t fromEnd) {
    const std::size_t at = gz.size() - fromEnd;
    return static_cast<std::uint32_t>(gz[at]) | static_cast<std::uint32_t>(gz[at + 1]) << 8 |
           static_cast<std::uint32_t>(gz[at + 2]) << 16 | static_cast<std::uint32_t>(gz[at + 3]) << 24;
}

// Two raw images and their .gz and .xz forms, made by the gzip and xz tools.
class CompressedImages : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("gzip");
        MARLOWICK_REQUIRE_TOOL("xz");
        first = imageBytes(1);
        second = imageBytes(2);
        test::writeFile(dir.file("a"), first);
        test::writeFile(dir.file("b"), second);
        ASSERT_EQ(tool("gzip -c a > a.gz && gzip -1 -n -c b > b.gz && xz -c a > a.xz && xz -0 --check=sha256 -c b > b.xz")
                      .exitCode,
                  0);
        // Many blocks with their sizes recorded, as multi-threaded xz writes them: the kind
        // of file that is decoded on several threads.
        const test::CommandOutput blocks =
            tool("xz -T4 --block-size=16KiB -c a > blocks.xz && xz --robot --list blocks.xz");
        ASSERT_EQ(blocks.exitCode, 0) << blocks.output;
        ASSERT_EQ(blocks.output.find("\ntotals\t1\t1\t"), std::string::npos) << "one block: " << blocks.output;
    }

    test::CommandOutput tool(const std::string& command) const {
        return test::runCommand("cd '" + dir.path().string() + "' && " + command);
    }
    Bytes file(const std::string& name) const { return test::readFile(dir.file(name)); }
    void write(const std::string& name, const Bytes& bytes) const { test::writeFile(dir.file(name), bytes); }
    // What the tool itself decodes from the file, whatever it then says about it.
    Bytes toolDecoded(const std::string& name) const {
        const std::string decoder = name.ends_with(".xz") ? "xz" : "gzip";
        (void)tool(decoder + " -dc " + name + " > " + name + ".out");
        return file(name + ".out");
    }
    std::shared_ptr<const RawImageSource> source(const std::string& name) const {
        return CompressedRawImageSource::forName(name, std::make_shared<FileRawImageSource>(dir.file(name).string()));
    }

    // Reads `name` whole in big requests, with a one-byte buffer and from a source handing
    // out one byte per read; all three must agree. Returns the first.
    test::StreamContents readEveryWay(const std::string& name) const {
        const test::StreamContents whole = test::readToEnd(*source(name), 65536);
        const test::StreamContents byteWise = test::readToEnd(*source(name), 1);
        const auto trickled = CompressedRawImageSource::forName(
            name, std::make_shared<test::TricklingSource>(
                      std::make_shared<FileRawImageSource>(dir.file(name).string()), 1));
        const test::StreamContents trickle = test::readToEnd(*trickled, 4099);
        EXPECT_EQ(byteWise.failure, whole.failure) << "one-byte buffer";
        EXPECT_EQ(trickle.failure, whole.failure) << "one byte per source read";
        // Before a failure, how much was handed over depends on the request sizes.
        if (whole.failure.empty()) {
            EXPECT_TRUE(byteWise.bytes == whole.bytes) << "one-byte buffer";
            EXPECT_TRUE(trickle.bytes == whole.bytes) << "one byte per source read";
        }
        return whole;
    }

    test::TempDir dir;
    Bytes first, second;
};

TEST_F(CompressedImages, DecodeExactlyWhatTheToolsDecode) {
    Bytes zeroPadded = file("a.gz");
    zeroPadded.resize(zeroPadded.size() + 4096, 0);
    write("padded.gz", zeroPadded);
    Bytes garbage = file("b.gz");
    const std::string tail = "not a gzip member";
    garbage.insert(garbage.end(), tail.begin(), tail.end());
    write("garbage.gz", garbage);
    ASSERT_EQ(tool("cat a.gz b.gz > ab.gz && cat b.xz a.xz > ba.xz && cp a.xz padded.xz && "
                   "head -c 8 /dev/zero >> padded.xz && cat a.xz > twice.xz && head -c 4 /dev/zero >> twice.xz && "
                   "cat b.xz >> twice.xz")
                  .exitCode,
              0);
    const struct {
        const char* file;
        const Bytes expected;
    } cases[] = {
        {"a.gz", first},
        {"b.gz", second},
        {"ab.gz", [&] { Bytes both = first; both.insert(both.end(), second.begin(), second.end()); return both; }()},
        {"padded.gz", first},
        {"garbage.gz", second},
        {"a.xz", first},
        {"b.xz", second},
        {"ba.xz", [&] { Bytes both = second; both.insert(both.end(), first.begin(), first.end()); return both; }()},
        {"padded.xz", first},
        {"twice.xz", [&] { Bytes both = first; both.insert(both.end(), second.begin(), second.end()); return both; }()},
        {"blocks.xz", first},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const test::StreamContents read = readEveryWay(c.file);
        EXPECT_EQ(read.failure, "");
        EXPECT_TRUE(read.bytes == toolDecoded(c.file)) << read.bytes.size() << " bytes decoded";
        EXPECT_TRUE(read.bytes == c.expected);
    }
}

// A damaged file, how to damage it, and the text the stream must fail with.
struct DamageCase {
    const char* name;
    std::string file;
    std::function<Bytes(const Bytes&)> damage;
    std::string failure;
};

Bytes cut(const Bytes& bytes, std::size_t keep) { return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)); }
Bytes flipped(Bytes bytes, std::size_t at) {
    bytes[at] ^= 0x40;
    return bytes;
}

Bytes withTail(Bytes bytes, const std::string& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

TEST_F(CompressedImages, DamagedFilesFailWithTheirOwnText) {
    const Bytes aGz = file("a.gz"), bGz = file("b.gz"), aXz = file("a.xz"), blocksXz = file("blocks.xz");
    const std::string midStream = "the compressed image ended mid-stream";
    const std::string badGzip = "the compressed image could not be decoded (corrupt or not gzip)";
    const std::string badXz = "the compressed image could not be decoded (corrupt or not xz)";
    const std::string badHeader = "not a gzip image (bad header)";
    const std::string storedCrc = hex32(trailerField(aGz, 8));
    Bytes ab = aGz;
    ab.insert(ab.end(), bGz.begin(), bGz.end());
    const std::size_t bodyByte = aGz.size() / 2;  // inside the stored random middle
    const std::size_t secondCrc = ab.size() - 8;
    const DamageCase cases[] = {
        {"gzipEmpty", "x.gz", [](const Bytes&) { return Bytes{}; }, midStream},
        {"gzipCutInHeader", "x.gz", [&](const Bytes&) { return cut(aGz, 5); }, midStream},
        {"gzipCutInBody", "x.gz", [&](const Bytes&) { return cut(aGz, aGz.size() / 2); }, midStream},
        {"gzipCutInTrailer", "x.gz", [&](const Bytes&) { return cut(aGz, aGz.size() - 3); }, midStream},
        {"gzipCutInSecondHeader", "x.gz", [&](const Bytes&) { return cut(ab, aGz.size() + 4); }, midStream},
        {"gzipCutInSecondBody", "x.gz", [&](const Bytes&) { return cut(ab, ab.size() - 100); }, midStream},
        {"gzipBodyByte", "x.gz", [&](const Bytes&) { return flipped(aGz, bodyByte); }, ""},  // text from the tool's output
        {"gzipCrc", "x.gz", [&](const Bytes&) { return flipped(aGz, aGz.size() - 6); },
         "the compressed image is corrupt (gzip member 1 has CRC-32 " + hex32(crcOf(first)) + ", its trailer says " +
             hex32(trailerField(flipped(aGz, aGz.size() - 6), 8)) + ")"},
        {"gzipSize", "x.gz", [&](const Bytes&) { return flipped(aGz, aGz.size() - 3); },
         "the compressed image is corrupt (gzip member 1 decodes to " + std::to_string(first.size()) +
             " bytes, its trailer says " + std::to_string(first.size() ^ 0x4000) + ")"},
        {"gzipSecondMemberCrc", "x.gz", [&](const Bytes&) { return flipped(ab, secondCrc); },
         "the compressed image is corrupt (gzip member 2 has CRC-32 " + hex32(crcOf(second)) + ", its trailer says " +
             hex32(trailerField(flipped(ab, secondCrc), 8)) + ")"},
        {"gzipBadMagic", "x.gz", [&](const Bytes&) { return flipped(aGz, 0); }, badHeader},
        {"gzipBadMethod", "x.gz", [&](const Bytes&) { Bytes b = aGz; b[2] = 7; return b; }, badHeader},
        {"gzipBadSecondMethod", "x.gz", [&](const Bytes&) { Bytes b = ab; b[aGz.size() + 2] = 9; return b; }, badHeader},
        {"xzNamedGz", "x.gz", [&](const Bytes&) { return aXz; }, badHeader},
        {"gzipNamedXz", "x.xz", [&](const Bytes&) { return aGz; }, badXz},
        {"xzEmpty", "x.xz", [](const Bytes&) { return Bytes{}; }, midStream},
        {"xzCutInHeader", "x.xz", [&](const Bytes&) { return cut(aXz, 7); }, midStream},
        {"xzCutInBody", "x.xz", [&](const Bytes&) { return cut(aXz, aXz.size() / 2); }, midStream},
        {"xzCutInFooter", "x.xz", [&](const Bytes&) { return cut(aXz, aXz.size() - 2); }, midStream},
        {"xzBodyByte", "x.xz", [&](const Bytes&) { return flipped(aXz, aXz.size() / 2); }, badXz},
        {"xzCheck", "x.xz", [&](const Bytes&) { return flipped(aXz, aXz.size() - 40); }, badXz},
        // The xz tool refuses anything but zero padding after a stream; so do we.
        {"xzTrailingGarbage", "x.xz", [&](const Bytes&) { return withTail(aXz, "not an xz stream"); }, badXz},
        {"xzTrailingByte", "x.xz", [&](const Bytes&) { return withTail(aXz, "!"); }, midStream},
        {"xzOddPadding", "x.xz", [&](const Bytes&) { Bytes b = aXz; b.resize(b.size() + 3, 0); return b; }, badXz},
        // Blocks decoded on other threads fail the same way, whichever block is damaged.
        {"xzBlocksCutInBody", "x.xz", [&](const Bytes&) { return cut(blocksXz, blocksXz.size() / 2); }, midStream},
        {"xzBlocksCutInIndex", "x.xz", [&](const Bytes&) { return cut(blocksXz, blocksXz.size() - 20); }, midStream},
        {"xzBlocksBodyByte", "x.xz", [&](const Bytes&) { return flipped(blocksXz, blocksXz.size() / 2); }, badXz},
        {"xzBlocksLastBlock", "x.xz", [&](const Bytes&) { return flipped(blocksXz, blocksXz.size() - 200); }, badXz},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.file, c.damage(aGz));
        const std::string checker = c.file.ends_with(".xz") ? "xz" : "gzip";
        EXPECT_NE(tool(checker + " -t " + c.file).exitCode, 0) << "the tool accepts the damaged file";
        std::string failure = c.failure;
        if (failure.empty()) {
            ASSERT_NE(tool("gzip -t x.gz").output.find("crc error"), std::string::npos) << "not a plain CRC failure";
            failure = "the compressed image is corrupt (gzip member 1 has CRC-32 " + hex32(crcOf(toolDecoded("x.gz"))) +
                      ", its trailer says " + storedCrc + ")";
        }
        EXPECT_EQ(readEveryWay(c.file).failure, failure);
    }
}

TEST_F(CompressedImages, AFailureIsStickyAndCloseEndsTheStream) {
    write("x.gz", cut(file("a.gz"), 1000));
    RawImageOpenResult opened = source("x.gz")->open();
    auto& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
    Bytes buffer(1 << 20);
    RawImageReadResult result = RawImageReadResult::bytes(0);
    while (std::holds_alternative<RawImageReadResult::Bytes>(result.value)) result = stream.read(buffer, 0, 1 << 20);
    const auto midStream = RawImageReadResult::failed("the compressed image ended mid-stream");
    EXPECT_EQ(result, midStream);
    EXPECT_EQ(stream.read(buffer, 0, 0), midStream);
    stream.close();
    EXPECT_EQ(stream.read(buffer, 0, 10), midStream);

    RawImageOpenResult good = source("a.gz")->open();
    auto& goodStream = *std::get<RawImageOpenResult::Opened>(good.value).stream;
    EXPECT_EQ(goodStream.read(buffer, 0, 10), RawImageReadResult::bytes(10));
    goodStream.close();
    goodStream.close();
    EXPECT_EQ(goodStream.read(buffer, 0, 10), RawImageReadResult::endOfStream());
}

TEST(CompressedRawImageSource, WrapsOnlyNamesWithACompressionSuffix) {
    const auto plain = std::make_shared<const DataRawImageSource>(std::vector<std::uint8_t>(3, 1));
    EXPECT_EQ(CompressedRawImageSource::forName("image.gz.iso", plain), plain);
    const auto wrapped = CompressedRawImageSource::forName(" UBUNTU.ISO.GZ ", plain);
    const auto* compressed = dynamic_cast<const CompressedRawImageSource*>(wrapped.get());
    ASSERT_NE(compressed, nullptr);
    EXPECT_EQ(compressed->compression, ImageCompression::gzip);
    EXPECT_EQ(compressed->compressed, plain);
    EXPECT_EQ(wrapped->sizeBytes(), std::nullopt);
}

// A wrapped stream that fails on its second read and counts how often it is closed.
struct FailingStream final : RawImageStream {
    int reads = 0;
    int* closes;
    explicit FailingStream(int* closeCount) : closes(closeCount) {}
    void close() override { ++*closes; }
    RawImageReadResult readSome(std::span<std::uint8_t> destination) override {
        if (++reads > 1) return RawImageReadResult::failed("read failed: Input/output error");
        const Bytes header{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
        std::copy(header.begin(), header.end(), destination.begin());
        return RawImageReadResult::bytes(static_cast<std::int64_t>(header.size()));
    }
};

TEST(CompressedRawImageStream, PassesOnSourceFailuresAndClosesTheSourceOnce) {
    int closes = 0;
    CompressedRawImageStream stream(std::make_unique<FailingStream>(&closes), ImageCompression::gzip);
    const test::StreamContents read = test::readToEnd(stream, 100);
    EXPECT_EQ(read.failure, "compressed source read failed: read failed: Input/output error");
    stream.close();
    stream.close();
    EXPECT_EQ(closes, 1);

    const auto missing = CompressedRawImageSource::forName("gone.img.xz", std::make_shared<FileRawImageSource>("/nonexistent/gone.img.xz"));
    EXPECT_EQ(test::readToEnd(*missing, 100).failure, "could not open gone.img.xz for reading");
}

TEST(CompressedRawImageStream, DecodesMembersWithEveryOptionalHeaderPart) {
    Bytes data(70000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 / 13);
    using test::gzipCommentFlag, test::gzipExtraFlag, test::gzipHeaderCrcFlag, test::gzipNameFlag;
    Bytes file = test::gzipMember(
        test::gzipHeader(gzipExtraFlag | gzipNameFlag | gzipCommentFlag | gzipHeaderCrcFlag, 0), data);
    const Bytes second = test::gzipMember(test::gzipHeader(gzipExtraFlag | gzipCommentFlag, 9), data);
    file.insert(file.end(), second.begin(), second.end());
    Bytes expected = data;
    expected.insert(expected.end(), data.begin(), data.end());
    const auto source = CompressedRawImageSource::forName("disk.img.gz", std::make_shared<DataRawImageSource>(file));
    for (const std::int64_t perRead : {1, 3, 65536}) {
        SCOPED_TRACE(perRead);
        const auto trickled = std::make_shared<test::TricklingSource>(std::make_shared<DataRawImageSource>(file), perRead);
        const test::StreamContents read = test::readToEnd(CompressedRawImageSource(trickled, ImageCompression::gzip), 8191);
        EXPECT_EQ(read.failure, "");
        EXPECT_TRUE(read.bytes == expected);
    }
    EXPECT_TRUE(test::readToEnd(*source, 1).bytes == expected);
}

}  // namespace
}  // namespace marlowick
