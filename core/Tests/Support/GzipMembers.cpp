#include "Support/GzipMembers.hpp"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace marlowick::test {

std::vector<std::uint8_t> gzipHeader(std::uint8_t flags, std::uint16_t extraLength) {
    std::vector<std::uint8_t> bytes{0x1F, 0x8B, 8, flags, 1, 2, 3, 4, 0, 3};
    if (flags & gzipExtraFlag) {
        bytes.push_back(static_cast<std::uint8_t>(extraLength & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(extraLength >> 8));
        bytes.insert(bytes.end(), extraLength, 0x1F);
    }
    for (const auto& [flag, text] : {std::pair{gzipNameFlag, "disk.img"}, std::pair{gzipCommentFlag, "made by hand"}}) {
        if (flags & flag) bytes.insert(bytes.end(), text, text + std::strlen(text) + 1);
    }
    if (flags & gzipHeaderCrcFlag) bytes.insert(bytes.end(), {0xDE, 0xAD});
    return bytes;
}

std::vector<std::uint8_t> gzipMember(const std::vector<std::uint8_t>& head, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out = head;
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<std::uint8_t> body(deflateBound(&z, static_cast<uLong>(data.size())));
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

}  // namespace marlowick::test
