#include "Bytes/GzipHeaderParser.hpp"

#include <gtest/gtest.h>

#include "Support/GzipMembers.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::gzipCommentFlag, test::gzipExtraFlag, test::gzipHeaderCrcFlag, test::gzipNameFlag;

TEST(GzipHeaderParser, StopsAtTheLastHeaderByteHoweverTheInputIsSplit) {
    const std::uint8_t flagSets[] = {0, gzipNameFlag, gzipExtraFlag,
                                     gzipExtraFlag | gzipNameFlag | gzipCommentFlag | gzipHeaderCrcFlag,
                                     gzipCommentFlag | gzipHeaderCrcFlag};
    for (const std::uint8_t flags : flagSets) {
        for (const std::uint16_t extraLength : {0, 5, 300}) {
            SCOPED_TRACE(std::to_string(flags) + " extra " + std::to_string(extraLength));
            const Bytes head = test::gzipHeader(flags, extraLength);
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
        Bytes bytes = test::gzipHeader(0);
        bytes[at] ^= 0x01;
        GzipHeaderParser parser;
        EXPECT_EQ(parser.consume(bytes), std::nullopt) << "byte " << at;
    }
}

}  // namespace
}  // namespace marlowick
