// Any bytes as a gzip or xz image: when the stream decodes them without a failure, the
// bytes it gives are the bytes zlib's own gzip decoding (member after member) or
// liblzma's (concatenated streams) gives for the same input.
// Input: one byte choosing gzip (even) or xz (odd), then the compressed bytes.

#include <lzma.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "FuzzBlockDevice.hpp"
#include "Image/CompressedRawImageSource.hpp"
#include "Image/DataRawImageSource.hpp"

namespace {

using namespace marlowick;
using Bytes = std::vector<std::uint8_t>;

// Decoded images larger than this are not compared: a small input can expand a thousandfold.
constexpr std::size_t maxDecodedBytes = 16 * 1024 * 1024;

// The stream's bytes, or nothing when it failed or decoded past the cap.
std::optional<Bytes> decodeWithStream(std::span<const std::uint8_t> compressed, ImageCompression kind) {
    const CompressedRawImageSource source(std::make_shared<DataRawImageSource>(compressed), kind);
    RawImageOpenResult opened = source.open();
    auto* stream = std::get_if<RawImageOpenResult::Opened>(&opened.value);
    if (stream == nullptr) return std::nullopt;
    Bytes decoded;
    Bytes buffer(65536);
    for (;;) {
        const RawImageFill fill = stream->stream->fill(buffer);
        decoded.insert(decoded.end(), buffer.begin(), buffer.begin() + fill.filled);
        if (fill.failure || decoded.size() > maxDecodedBytes) return std::nullopt;
        if (fill.filled < static_cast<std::int64_t>(buffer.size())) return decoded;
    }
}

// The stream skips a header CRC unchecked and reads past reserved flag bits; zlib refuses
// both. Inputs with either are not compared.
constexpr std::uint8_t flagsZlibWouldCheck = 0xE2;
constexpr std::size_t flagsOffset = 3;

struct Reference {
    bool comparable = true;
    std::optional<Bytes> bytes;
};

// zlib's gzip wrapper, one member after another while the next bytes are a gzip magic;
// anything else after a member ends the image. No bytes when zlib refuses the input.
Reference decodeWithZlib(std::span<const std::uint8_t> input) {
    Bytes decoded;
    std::size_t offset = 0;
    do {
        if (input.size() > offset + flagsOffset && (input[offset + flagsOffset] & flagsZlibWouldCheck) != 0) {
            return {false, std::nullopt};
        }
        z_stream zlib{};
        if (inflateInit2(&zlib, 16 + MAX_WBITS) != Z_OK) std::abort();
        zlib.next_in = const_cast<Bytef*>(input.data() + offset);
        zlib.avail_in = static_cast<uInt>(input.size() - offset);
        int result = Z_OK;
        while (result == Z_OK) {
            std::uint8_t out[65536];
            zlib.next_out = out;
            zlib.avail_out = sizeof out;
            result = inflate(&zlib, Z_NO_FLUSH);
            decoded.insert(decoded.end(), out, out + (sizeof out - zlib.avail_out));
            if (decoded.size() > maxDecodedBytes) result = Z_MEM_ERROR;
            if (result == Z_BUF_ERROR && zlib.avail_in == 0) break;  // input ended mid-member
        }
        offset = input.size() - zlib.avail_in;
        inflateEnd(&zlib);
        if (result != Z_STREAM_END) return {true, std::nullopt};
    } while (input.size() - offset >= 2 && input[offset] == 0x1F && input[offset + 1] == 0x8B);
    return {true, std::move(decoded)};
}

Reference decodeWithLzma(std::span<const std::uint8_t> input) {
    lzma_stream lzma = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&lzma, 512ULL << 20, LZMA_CONCATENATED) != LZMA_OK) std::abort();
    lzma.next_in = input.data();
    lzma.avail_in = input.size();
    Bytes decoded;
    lzma_ret result = LZMA_OK;
    while (result == LZMA_OK) {
        std::uint8_t out[65536];
        lzma.next_out = out;
        lzma.avail_out = sizeof out;
        result = lzma_code(&lzma, LZMA_FINISH);
        decoded.insert(decoded.end(), out, out + (sizeof out - lzma.avail_out));
        if (decoded.size() > maxDecodedBytes) result = LZMA_MEM_ERROR;
    }
    lzma_end(&lzma);
    if (result != LZMA_STREAM_END) return {true, std::nullopt};
    return {true, std::move(decoded)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    const bool xz = (fuzz::take(input, 1) & 1) != 0;
    const auto decoded = decodeWithStream(input, xz ? ImageCompression::xz : ImageCompression::gzip);
    if (!decoded) return 0;
    const Reference reference = xz ? decodeWithLzma(input) : decodeWithZlib(input);
    if (reference.comparable && (!reference.bytes || *reference.bytes != *decoded)) std::abort();
    return 0;
}
