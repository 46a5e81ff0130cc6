#include "Image/DataRawImageSource.hpp"

#include <gtest/gtest.h>

#include "Image/ImageTestSupport.hpp"

namespace marlowick {
namespace {

std::unique_ptr<RawImageStream> openStream(const RawImageSource& source) {
    RawImageOpenResult opened = source.open();
    return std::move(std::get<RawImageOpenResult::Opened>(opened.value).stream);
}

TEST(DataRawImageSource, ReadsInShortCountsUntilTheEndAndStaysThere) {
    const DataRawImageSource source(std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(source.sizeBytes(), 10);
    auto stream = openStream(source);
    std::vector<std::uint8_t> buffer(6, 0xFF);
    const auto four = RawImageReadResult::bytes(4);
    const auto two = RawImageReadResult::bytes(2);
    const auto none = RawImageReadResult::bytes(0);
    const auto end = RawImageReadResult::endOfStream();
    EXPECT_EQ(stream->read(buffer, 2, 4), four);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0xFF, 0xFF, 0, 1, 2, 3}));
    EXPECT_EQ(stream->read(buffer, 0, 0), none);
    EXPECT_EQ(stream->read(buffer, 0, 4), four);
    EXPECT_EQ(stream->read(buffer, 0, 4), two);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{8, 9, 6, 7, 2, 3}));
    EXPECT_EQ(stream->read(buffer, 0, 4), end);
    EXPECT_EQ(stream->read(buffer, 0, 4), end);
}

TEST(DataRawImageSource, EachOpenStartsAnIndependentStream) {
    const DataRawImageSource source(std::vector<std::uint8_t>(1000, 0x5A));
    auto first = openStream(source);
    std::vector<std::uint8_t> buffer(600);
    EXPECT_EQ(first->read(buffer, 0, 600), RawImageReadResult::bytes(600));
    const test::StreamContents whole = test::readToEnd(source, 3);
    EXPECT_EQ(whole.bytes, source.bytes());
    EXPECT_EQ(first->read(buffer, 0, 600), RawImageReadResult::bytes(400));
}

TEST(RawImageStream, RefusesARequestOutsideTheBufferWithoutReading) {
    const DataRawImageSource source(std::vector<std::uint8_t>{1, 2, 3, 4});
    auto stream = openStream(source);
    std::vector<std::uint8_t> buffer(4, 0);
    const auto pastEnd = RawImageReadResult::failed("read request outside the buffer (offset 2, length 3, buffer 4 bytes)");
    const auto negative = RawImageReadResult::failed("read request outside the buffer (offset -1, length 1, buffer 4 bytes)");
    EXPECT_EQ(stream->read(buffer, 2, 3), pastEnd);
    EXPECT_EQ(stream->read(buffer, -1, 1), negative);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(4, 0));
    EXPECT_EQ(stream->read(buffer, 0, 4), RawImageReadResult::bytes(4));
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST(RawImageReadResult, RendersInTheCommonTextualForm) {
    EXPECT_EQ(render(RawImageReadResult::bytes(4)), "bytes(count: 4)");
    EXPECT_EQ(render(RawImageReadResult::failed("read failed: x")), "failed(detail: \"read failed: x\")");
    EXPECT_EQ(render(RawImageReadResult::endOfStream()), "endOfStream");
}

}  // namespace
}  // namespace marlowick
