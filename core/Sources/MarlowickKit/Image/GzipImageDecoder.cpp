// gzip through zlib's raw DEFLATE decoder: the member headers are walked by
// GzipHeaderParser, and each member's trailer is checked here, so that a corrupt image is
// never taken for a good one and the members of a concatenated file are all read.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "Bytes/GzipHeaderParser.hpp"
#include "Image/ImageDecoder.hpp"

namespace marlowick {
namespace {

using Status = ImageDecodeStep::Status;

constexpr std::size_t trailerBytes = 8;  // CRC-32 and ISIZE, both little-endian
constexpr std::uint8_t magicFirst = 0x1F, magicSecond = 0x8B;
// Raw DEFLATE with the largest window: the headers and trailers are handled here.
constexpr int rawDeflateWindowBits = -15;

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::string hex32(std::uint32_t value) {
    std::array<char, 9> text{};
    std::snprintf(text.data(), text.size(), "%08x", value);
    return text.data();
}

class GzipImageDecoder final : public ImageDecoder {
public:
    GzipImageDecoder() { ready = inflateInit2(&zlib, rawDeflateWindowBits) == Z_OK; }
    GzipImageDecoder(const GzipImageDecoder&) = delete;
    GzipImageDecoder& operator=(const GzipImageDecoder&) = delete;
    ~GzipImageDecoder() override {
        if (ready) inflateEnd(&zlib);
    }
    [[nodiscard]] bool isReady() const { return ready; }

    ImageDecodeStep decode(std::span<const std::uint8_t> input, bool inputEnded,
                           std::span<std::uint8_t> output) override {
        ImageDecodeStep step;
        for (;;) {
            const auto rest = input.subspan(step.consumed);
            switch (phase) {
                case Phase::header:
                    if (rest.empty()) return finish(step, Status::needsInput);
                    if (!consumeHeader(rest, step)) return fail(step, "not a gzip image (bad header)");
                    break;
                case Phase::body:
                    if (step.produced == output.size()) return step;
                    if (!inflateSome(rest, output.subspan(step.produced), step)) return step;
                    break;
                case Phase::trailer:
                    takeTrailer(rest, step);
                    if (trailerFilled < trailerBytes) return finish(step, Status::needsInput);
                    if (auto mismatch = checkTrailer()) return fail(step, *mismatch);
                    phase = Phase::nextMember;
                    break;
                case Phase::nextMember:
                    // Only a gzip magic starts another member; zero padding or anything else
                    // after a complete member is not image data.
                    if (rest.empty()) return finish(step, inputEnded ? Status::end : Status::needsInput);
                    if (rest[0] != magicFirst) return finish(step, Status::end);
                    if (rest.size() < 2) return finish(step, inputEnded ? Status::end : Status::needsInput);
                    if (rest[1] != magicSecond) return finish(step, Status::end);
                    header = GzipHeaderParser{};
                    ++member;
                    phase = Phase::header;
                    break;
            }
        }
    }

private:
    enum class Phase { header, body, trailer, nextMember };

    static ImageDecodeStep finish(ImageDecodeStep step, Status status) {
        step.status = status;
        return step;
    }
    static ImageDecodeStep fail(ImageDecodeStep step, std::string failure) {
        step.status = Status::failed;
        step.failure = std::move(failure);
        return step;
    }

    bool consumeHeader(std::span<const std::uint8_t> rest, ImageDecodeStep& step) {
        const auto used = header.consume(rest);
        if (!used) return false;
        step.consumed += *used;
        if (header.isDone()) {
            inflateReset(&zlib);
            crc = crc32(0, nullptr, 0);
            memberBytes = 0;
            phase = Phase::body;
        }
        return true;
    }

    // Runs inflate once. False when `step` is final (needs input, or failed).
    bool inflateSome(std::span<const std::uint8_t> rest, std::span<std::uint8_t> out, ImageDecodeStep& step) {
        zlib.next_in = const_cast<Bytef*>(rest.data());  // zlib's API is not const-correct; it never writes here
        zlib.avail_in = static_cast<uInt>(rest.size());
        zlib.next_out = out.data();
        zlib.avail_out = static_cast<uInt>(out.size());
        const int result = inflate(&zlib, Z_NO_FLUSH);
        const std::size_t used = rest.size() - zlib.avail_in;
        const std::size_t made = out.size() - zlib.avail_out;
        crc = crc32(crc, out.data(), static_cast<uInt>(made));
        memberBytes += made;
        step.consumed += used;
        step.produced += made;
        switch (result) {
            case Z_STREAM_END:
                phase = Phase::trailer;
                trailerFilled = 0;
                return true;
            case Z_OK:
                return true;
            case Z_BUF_ERROR:  // no progress possible without more input
                step.status = Status::needsInput;
                return false;
            case Z_MEM_ERROR:
                step = fail(step, ImageDecodeTexts::outOfMemory);
                return false;
            default:
                step = fail(step, ImageDecodeTexts::undecodable(ImageCompression::gzip));
                return false;
        }
    }

    void takeTrailer(std::span<const std::uint8_t> rest, ImageDecodeStep& step) {
        const std::size_t take = std::min(trailerBytes - trailerFilled, rest.size());
        std::copy_n(rest.begin(), take, trailer.begin() + static_cast<std::ptrdiff_t>(trailerFilled));
        trailerFilled += take;
        step.consumed += take;
    }

    std::optional<std::string> checkTrailer() const {
        const std::string prefix = "the compressed image is corrupt (gzip member " + std::to_string(member);
        const std::uint32_t storedCrc = littleEndian32(trailer.data());
        const std::uint32_t storedSize = littleEndian32(trailer.data() + 4);
        if (storedCrc != crc) {
            return prefix + " has CRC-32 " + hex32(static_cast<std::uint32_t>(crc)) + ", its trailer says " +
                   hex32(storedCrc) + ")";
        }
        // ISIZE holds the member's size modulo 2^32.
        if (storedSize != static_cast<std::uint32_t>(memberBytes)) {
            return prefix + " decodes to " + std::to_string(memberBytes) + " bytes, its trailer says " +
                   std::to_string(storedSize) + ")";
        }
        return std::nullopt;
    }

    z_stream zlib{};
    bool ready = false;
    Phase phase = Phase::header;
    GzipHeaderParser header;
    uLong crc = 0;
    std::uint64_t memberBytes = 0;
    std::array<std::uint8_t, trailerBytes> trailer{};
    std::size_t trailerFilled = 0;
    int member = 1;
};

}  // namespace

std::unique_ptr<ImageDecoder> makeGzipImageDecoder() {
    auto decoder = std::make_unique<GzipImageDecoder>();
    if (!decoder->isReady()) return nullptr;
    return decoder;
}

}  // namespace marlowick
