#pragma once
// gzip members put together by hand, for the header fields no gzip tool writes (a comment,
// a header CRC-16, an extra field): the header with the optional parts asked for, then
// raw DEFLATE data made by zlib and the trailer.

#include <cstdint>
#include <vector>

namespace marlowick::test {

inline constexpr std::uint8_t gzipHeaderCrcFlag = 0x02, gzipExtraFlag = 0x04, gzipNameFlag = 0x08,
                              gzipCommentFlag = 0x10;

// A member header with the optional parts `flags` asks for: `extraLength` bytes of 0x1F
// (bytes that look like a magic and must be skipped), the name "disk.img", the comment
// "made by hand" and a deliberately wrong header CRC-16, since nothing checks it.
[[nodiscard]] std::vector<std::uint8_t> gzipHeader(std::uint8_t flags, std::uint16_t extraLength = 5);

// `head`, then `data` as raw DEFLATE and the trailer (CRC-32 and size of `data`).
[[nodiscard]] std::vector<std::uint8_t> gzipMember(const std::vector<std::uint8_t>& head,
                                                   const std::vector<std::uint8_t>& data);

}  // namespace marlowick::test
