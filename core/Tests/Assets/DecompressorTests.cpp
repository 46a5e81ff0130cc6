#include "Assets/Decompressor.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "Assets/ToolWorkspace.hpp"
#include "Support/GzipMembers.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Case = DecompressionError::Case;

// The error a call throws, or nullopt when it returns.
std::optional<Case> errorOf(const std::function<Bytes()>& call) {
    try {
        (void)call();
        return std::nullopt;
    } catch (const DecompressionError& error) {
        EXPECT_EQ(std::string(error.what()), render(error.value));
        return error.value;
    }
}

// Files made by the real tools from two data sets: `a` (100 KiB, so several 64 KiB output
// steps) and `b`, plus a 2 MiB run of zeros that compresses to almost nothing.
class DecompressorFiles : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("gzip");
        MARLOWICK_REQUIRE_TOOL("xz");
        workspace.write("a", a);
        workspace.write("b", b);
        workspace.write("zeros", Bytes(2 << 20, 0));
        ASSERT_NO_FATAL_FAILURE(workspace.mustRun(
            "gzip -c a > a.gz && gzip -9 -n -c b > b.gz && cat a.gz b.gz > ab.gz && gzip -c zeros > zeros.gz"));
        ASSERT_NO_FATAL_FAILURE(workspace.mustRun(
            "xz -c a > a.xz && xz -0 --check=sha256 -c b > b.xz && cat a.xz b.xz > ab.xz && xz -c zeros > zeros.xz"));
    }

    Bytes a = test::patternedBytes(100 * 1024, 1);
    Bytes b = test::patternedBytes(5000, 2);
    test::ToolWorkspace workspace;
};

TEST_F(DecompressorFiles, GunzipsFilesTheToolMadeUpToTheFirstMemberAndIgnoresTheTrailer) {
    EXPECT_TRUE(Decompressor::gunzip(workspace.read("a.gz")) == a) << "with the stored file name";
    EXPECT_TRUE(Decompressor::gunzip(workspace.read("b.gz")) == b) << "without a name";
    EXPECT_TRUE(Decompressor::gunzip(workspace.read("ab.gz")) == a) << "two members: the first only";

    // The trailer is not compared: a wrong CRC-32 or ISIZE still decodes.
    for (const std::size_t fromEnd : {8u, 1u}) {
        Bytes damaged = workspace.read("a.gz");
        damaged[damaged.size() - fromEnd] ^= 0xFF;
        EXPECT_TRUE(Decompressor::gunzip(damaged) == a) << "byte " << fromEnd << " from the end";
    }

    // A comment, an extra field and a header CRC (no tool writes these) change nothing.
    using namespace test;
    for (const std::uint8_t flags : {0, gzipExtraFlag | gzipNameFlag | gzipCommentFlag | gzipHeaderCrcFlag}) {
        EXPECT_TRUE(Decompressor::gunzip(gzipMember(gzipHeader(flags, 300), b)) == b) << int(flags);
    }
}

TEST_F(DecompressorFiles, UnxzsFilesTheToolMadeUpToTheFirstStream) {
    EXPECT_TRUE(Decompressor::unxz(workspace.read("a.xz")) == a);
    EXPECT_TRUE(Decompressor::unxz(workspace.read("b.xz")) == b) << "SHA-256 check";
    EXPECT_TRUE(Decompressor::unxz(workspace.read("ab.xz")) == a) << "two streams: the first only";
}

TEST_F(DecompressorFiles, RefusesBrokenInputWithTheMatchingError) {
    const Bytes gz = workspace.read("a.gz");
    const Bytes xz = workspace.read("a.xz");
    const auto cut = [](const Bytes& bytes, std::size_t length) { return Bytes(bytes.begin(), bytes.begin() + length); };
    Bytes flippedXz = xz;
    flippedXz[xz.size() / 2] ^= 0x01;
    Bytes garbageDeflate = test::gzipHeader(0);
    garbageDeflate.insert(garbageDeflate.end(), 64, 0xFF);  // 0xFF starts a block of the reserved type 3

    struct Row {
        const char* name;
        std::function<Bytes()> call;
        std::optional<Case> error;
    };
    const Row rows[] = {
        {"gzip cut in its DEFLATE data", [&] { return Decompressor::gunzip(cut(gz, gz.size() / 2)); }, Case::corrupt},
        {"gzip with a DEFLATE block of a type that does not exist",
         [&] { return Decompressor::gunzip(garbageDeflate); }, Case::corrupt},
        {"xz cut short", [&] { return Decompressor::unxz(cut(xz, xz.size() - 1)); }, Case::corrupt},
        {"xz with a flipped byte", [&] { return Decompressor::unxz(flippedXz); }, Case::corrupt},
        {"gzip given to unxz", [&] { return Decompressor::unxz(gz); }, Case::corrupt},
        {"xz given to gunzip", [&] { return Decompressor::gunzip(xz); }, Case::malformedHeader},
        {"empty gzip", [] { return Decompressor::gunzip({}); }, Case::truncated},
        {"empty xz", [] { return Decompressor::unxz({}); }, Case::truncated},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(errorOf(row.call), row.error);
    }
}

TEST_F(DecompressorFiles, EndsABombInCorruptAtTheOutputLimit) {
    const Bytes gz = workspace.read("zeros.gz");
    const Bytes xz = workspace.read("zeros.xz");
    const std::size_t size = 2 << 20;
    ASSERT_LT(gz.size() + xz.size(), 10000u) << "a 2 MiB bomb of a few kilobytes";
    EXPECT_EQ(Decompressor::gunzip(gz, size).size(), size) << "exactly at the limit is allowed";
    EXPECT_EQ(Decompressor::unxz(xz, size).size(), size);
    EXPECT_EQ(errorOf([&] { return Decompressor::gunzip(gz, size - 1); }), Case::corrupt);
    EXPECT_EQ(errorOf([&] { return Decompressor::unxz(xz, size - 1); }), Case::corrupt);
    EXPECT_EQ(errorOf([&] { return Decompressor::unxz(xz, 1000); }), Case::corrupt) << "far below";
}

// The gzip container read byte by byte, on inputs too small or too odd for any tool to make.
TEST(Decompressor, WalksTheGzipHeaderIntoTheTrailerAsTruncated) {
    const Bytes deflateOfAbc{0x4B, 0x4C, 0x4A, 0x06, 0x00};
    const auto file = [&](Bytes header, const Bytes& body, std::uint8_t trailerByte = 0) {
        header.insert(header.end(), body.begin(), body.end());
        header.insert(header.end(), 8, trailerByte);
        return header;
    };
    Bytes seventeen{0x1F, 0x8B, 0x08};
    seventeen.resize(17, 0);
    Bytes method9{0x1F, 0x8B, 0x09};
    method9.resize(18, 0);
    const Bytes plain{0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 3};
    Bytes extraPastEnd = plain;
    extraPastEnd[3] = 0x04;
    extraPastEnd.insert(extraPastEnd.end(), {0x00, 0x01});  // FEXTRA of 256 bytes
    Bytes unterminatedName = plain;
    unterminatedName[3] = 0x08;
    unterminatedName.insert(unterminatedName.end(), {'a', 'b'});
    Bytes nameIntoTrailer = plain;  // the name's zero byte is the trailer's last byte
    nameIntoTrailer[3] = 0x08;
    Bytes crcIntoTrailer = plain;  // FHCRC's two bytes leave fewer than 8 for the trailer
    crcIntoTrailer[3] = 0x02;

    struct Row {
        const char* name;
        Bytes input;
        std::optional<Case> error;
    };
    const Row rows[] = {
        {"17 bytes starting with the magic", seventeen, Case::truncated},
        {"18 bytes with method 9", method9, Case::malformedHeader},
        {"wrong first magic byte", file({0x1E, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 3}, deflateOfAbc), Case::malformedHeader},
        {"FEXTRA longer than the input", file(extraPastEnd, deflateOfAbc), Case::truncated},
        {"FNAME without its zero byte", file(unterminatedName, {'c', 'd', 'e'}, 0xFF), Case::truncated},
        {"FNAME ending inside the trailer", file(nameIntoTrailer, {'x'}), Case::truncated},
        {"FHCRC running into the trailer", file(crcIntoTrailer, {}), Case::truncated},
        {"no data between header and trailer", file(plain, {}), Case::truncated},
        {"reserved flags are ignored", file({0x1F, 0x8B, 0x08, 0xE1, 0, 0, 0, 0, 0, 3}, deflateOfAbc), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(errorOf([&] { return Decompressor::gunzip(row.input); }), row.error);
    }
    EXPECT_TRUE(Decompressor::gunzip(file(plain, deflateOfAbc)) == (Bytes{'a', 'b', 'c'}));
}

}  // namespace
}  // namespace marlowick
