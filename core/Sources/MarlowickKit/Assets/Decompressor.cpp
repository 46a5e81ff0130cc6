#include "Assets/Decompressor.hpp"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "Bytes/GzipHeaderParser.hpp"

namespace marlowick {
namespace {

using Case = DecompressionError::Case;

// A 10-byte header and the 8-byte trailer (CRC-32 and ISIZE).
constexpr std::size_t gzipMinimumBytes = 18;
constexpr std::size_t gzipTrailerBytes = 8;
// Raw DEFLATE with the largest window: the gzip container is handled here.
constexpr int rawDeflateWindowBits = -15;
// Enough for any preset of the xz tool (its largest needs 65 MiB to decode); a stream
// whose header asks for a larger dictionary is refused instead of being allocated.
constexpr std::uint64_t xzMemoryLimitBytes = 128ULL << 20;

struct DecodeStep {
    enum class Status { more, end, failed };
    std::size_t consumed = 0;
    std::size_t produced = 0;
    Status status = Status::more;

    static DecodeStep of(std::size_t consumed, std::size_t produced, bool ended, bool failed) {
        return {consumed, produced, ended ? Status::end : failed ? Status::failed : Status::more};
    }
};

class InflateDecoder {
public:
    InflateDecoder() { ready = inflateInit2(&zlib, rawDeflateWindowBits) == Z_OK; }
    InflateDecoder(const InflateDecoder&) = delete;
    InflateDecoder& operator=(const InflateDecoder&) = delete;
    ~InflateDecoder() {
        if (ready) inflateEnd(&zlib);
    }
    [[nodiscard]] bool isReady() const { return ready; }

    DecodeStep step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
        // zlib counts in 32 bits; a longer input is handed over in slices.
        const std::size_t offered = std::min<std::size_t>(input.size(), UINT_MAX);
        zlib.next_in = const_cast<Bytef*>(input.data());  // zlib's API is not const-correct; it never writes here
        zlib.avail_in = static_cast<uInt>(offered);
        zlib.next_out = output.data();
        zlib.avail_out = static_cast<uInt>(output.size());
        const int result = inflate(&zlib, Z_NO_FLUSH);
        // Z_BUF_ERROR only says that no progress was possible; rawDecode judges that.
        return DecodeStep::of(offered - zlib.avail_in, output.size() - zlib.avail_out, result == Z_STREAM_END,
                              result != Z_OK && result != Z_BUF_ERROR);
    }

private:
    z_stream zlib{};
    bool ready = false;
};

class XzDecoder {
public:
    // One stream, no LZMA_CONCATENATED: whatever follows the first stream's end is not read.
    XzDecoder() { ready = lzma_stream_decoder(&lzma, xzMemoryLimitBytes, 0) == LZMA_OK; }
    XzDecoder(const XzDecoder&) = delete;
    XzDecoder& operator=(const XzDecoder&) = delete;
    ~XzDecoder() { lzma_end(&lzma); }
    [[nodiscard]] bool isReady() const { return ready; }

    DecodeStep step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
        lzma.next_in = input.data();
        lzma.avail_in = input.size();
        lzma.next_out = output.data();
        lzma.avail_out = output.size();
        const lzma_ret result = lzma_code(&lzma, LZMA_FINISH);
        return DecodeStep::of(input.size() - lzma.avail_in, output.size() - lzma.avail_out,
                              result == LZMA_STREAM_END, result != LZMA_OK && result != LZMA_BUF_ERROR);
    }

private:
    lzma_stream lzma = LZMA_STREAM_INIT;
    bool ready = false;
};

// Runs the decoder over the whole input until its stream ends. A step that takes no input
// and makes no output while the stream has not ended can never lead anywhere (the input
// stopped before the stream's end, or the decoder is stuck): that is `corrupt`, so the
// loop always ends.
template <class Decoder>
std::vector<std::uint8_t> rawDecode(std::span<const std::uint8_t> input, std::size_t outputLimitBytes) {
    if (input.empty()) throw DecompressionError(Case::truncated);
    Decoder decoder;
    if (!decoder.isReady()) throw DecompressionError(Case::corrupt);
    std::vector<std::uint8_t> buffer(Decompressor::outputStepBytes);
    std::vector<std::uint8_t> output;
    std::size_t position = 0;
    for (;;) {
        const DecodeStep step = decoder.step(input.subspan(position), buffer);
        position += step.consumed;
        if (step.status == DecodeStep::Status::failed) throw DecompressionError(Case::corrupt);
        // Checked before the bytes are kept: memory never grows past the limit.
        if (step.produced > outputLimitBytes - output.size()) throw DecompressionError(Case::corrupt);
        output.insert(output.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(step.produced));
        if (step.status == DecodeStep::Status::end) return output;
        if (step.consumed == 0 && step.produced == 0) throw DecompressionError(Case::corrupt);
    }
}

}  // namespace

DecompressionError::DecompressionError(Case c) : std::runtime_error(render(c)), value(c) {}

std::string render(DecompressionError::Case error) { return std::string(decompressionErrorRawValues.text(error)); }

void PrintTo(DecompressionError::Case error, std::ostream* os) { *os << render(error); }

std::vector<std::uint8_t> Decompressor::gunzip(std::span<const std::uint8_t> input, std::size_t outputLimitBytes) {
    if (input.size() < gzipMinimumBytes) throw DecompressionError(Case::truncated);
    // The header walk reads as far as the header's own fields lead, trailer bytes included;
    // a header that is still open at the end of the input has run into the trailer.
    GzipHeaderParser header;
    const std::optional<std::size_t> headerBytes = header.consume(input);
    if (!headerBytes) throw DecompressionError(Case::malformedHeader);
    if (!header.isDone() || *headerBytes + gzipTrailerBytes > input.size()) {
        throw DecompressionError(Case::truncated);
    }
    const auto deflateData = input.subspan(*headerBytes, input.size() - gzipTrailerBytes - *headerBytes);
    return rawDecode<InflateDecoder>(deflateData, outputLimitBytes);
}

std::vector<std::uint8_t> Decompressor::unxz(std::span<const std::uint8_t> input, std::size_t outputLimitBytes) {
    return rawDecode<XzDecoder>(input, outputLimitBytes);
}

}  // namespace marlowick
