#include "Image/GzipHeaderParser.hpp"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>

#include "Image/CompressedRawImageSource.hpp"
#include "Image/DataRawImageSource.hpp"
#include "Image/ImageTestSupport.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t headerCrcFlag = 0x02, extraFlag = 0x04, nameFlag = 0x08, commentFlag = 0x10;

// A member header with the optional parts `flags` asks for; the header CRC-16 is deliberately
// wrong, since nothing checks it.
Bytes header(std::uint8_t flags, std::uint16_t extraLength = 5) {
    Bytes bytes{0x1F, 0x8B, 8, flags, 1, 2, 3, 4, 0, 3};
    if (flags & extraFlag) {
        bytes.push_back(static_cast<std::uint8_t>(extraLength & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(extraLength >> 8));
        bytes.insert(bytes.end(), extraLength, 0x1F);  // bytes that look like a magic must be skipped
    }
    for (const auto& [flag, text] : {std::pair{nameFlag, "disk.img"}, std::pair{commentFlag, "made by hand"}}) {
        if (flags & flag) bytes.insert(bytes.end(), text, text + std::strlen(text) + 1);
    }
    if (flags & headerCrcFlag) bytes.insert(bytes.end(), {0xDE, 0xAD});
    return bytes;
}

// A whole member: `head`, then raw DEFLATE data and the trailer, made with zlib.
Bytes member(const Bytes& head, const Bytes& data) {
    Bytes out = head;
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes body(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = body.data();
    z.avail_out = static_cast<uInt>(body.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.insert(out.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(z.total_out));
    deflateEnd(&z);
    const auto crc = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
    for (const std::uint32_t word : {crc, static_cast<std::uint32_t>(data.size())}) {
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
    }
    return out;
}

TEST(GzipHeaderParser, StopsAtTheLastHeaderByteHoweverTheInputIsSplit) {
    const std::uint8_t flagSets[] = {0, nameFlag, extraFlag, extraFlag | nameFlag | commentFlag | headerCrcFlag,
                                     commentFlag | headerCrcFlag};
    for (const std::uint8_t flags : flagSets) {
        for (const std::uint16_t extraLength : {0, 5, 300}) {
            SCOPED_TRACE(std::to_string(flags) + " extra " + std::to_string(extraLength));
            const Bytes head = header(flags, extraLength);
            Bytes bytes = head;
            bytes.insert(bytes.end(), {0xAB, 0xCD});  // compressed data follows
            GzipHeaderParser whole;
            EXPECT_EQ(whole.consume(bytes), head.size());
            EXPECT_TRUE(whole.isDone());
            for (std::size_t split = 0; split < head.size(); ++split) {
                GzipHeaderParser parser;
                EXPECT_EQ(parser.consume(std::span(bytes).first(split)), split);
                EXPECT_EQ(parser.consume(std::span(bytes).subspan(split)), head.size() - split);
                EXPECT_EQ(parser, whole);
            }
        }
    }
}

TEST(GzipHeaderParser, RefusesAWrongMagicOrMethod) {
    for (const std::size_t at : {0, 1, 2}) {
        Bytes bytes = header(0);
        bytes[at] ^= 0x01;
        GzipHeaderParser parser;
        EXPECT_EQ(parser.consume(bytes), std::nullopt) << "byte " << at;
    }
}

TEST(CompressedRawImageStream, DecodesMembersWithEveryOptionalHeaderPart) {
    Bytes data(70000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 / 13);
    Bytes file = member(header(extraFlag | nameFlag | commentFlag | headerCrcFlag, 0), data);
    const Bytes second = member(header(extraFlag | commentFlag, 9), data);
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
