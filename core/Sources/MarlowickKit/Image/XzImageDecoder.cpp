// xz through liblzma. Concatenated streams and the zero padding between them are decoded
// as one image, as the xz tool does; every stream's integrity check is verified by the
// library. Files made of several blocks whose sizes are recorded (as multi-threaded xz
// writes them) are decoded by one thread per core; any other file decodes on the caller's
// thread alone, as the library's threaded decoder falls back to that by itself.

#include <lzma.h>

#include <algorithm>
#include <thread>

#include "Image/ImageDecoder.hpp"

namespace marlowick {
namespace {

using Status = ImageDecodeStep::Status;

// Enough for any preset of the xz tool (its largest needs 65 MiB); a file asking for more
// is refused rather than allowed to exhaust the helper's memory.
constexpr std::uint64_t memoryLimitBytes = 512ULL << 20;
constexpr std::uint64_t mebibyte = 1ULL << 20;

class XzImageDecoder final : public ImageDecoder {
public:
    XzImageDecoder() {
        lzma_mt options{};
        options.flags = LZMA_CONCATENATED;
        options.threads = std::max(1U, std::thread::hardware_concurrency());
        // Past this the library decodes with fewer threads, down to one; past the stop
        // limit it refuses, as the single-threaded decoder did.
        options.memlimit_threading = memoryLimitBytes;
        options.memlimit_stop = memoryLimitBytes;
        ready = lzma_stream_decoder_mt(&lzma, &options) == LZMA_OK;
    }
    XzImageDecoder(const XzImageDecoder&) = delete;
    XzImageDecoder& operator=(const XzImageDecoder&) = delete;
    ~XzImageDecoder() override { lzma_end(&lzma); }
    [[nodiscard]] bool isReady() const { return ready; }

    ImageDecodeStep decode(std::span<const std::uint8_t> input, bool inputEnded,
                           std::span<std::uint8_t> output) override {
        lzma.next_in = input.data();
        lzma.avail_in = input.size();
        lzma.next_out = output.data();
        lzma.avail_out = output.size();
        // With concatenated streams only LZMA_FINISH tells the library that no stream follows.
        const lzma_ret result = lzma_code(&lzma, inputEnded ? LZMA_FINISH : LZMA_RUN);
        ImageDecodeStep step;
        step.consumed = input.size() - lzma.avail_in;
        step.produced = output.size() - lzma.avail_out;
        switch (result) {
            case LZMA_OK:
                if (step.consumed == 0 && step.produced == 0) step.status = Status::needsInput;
                break;
            case LZMA_STREAM_END:
                step.status = Status::end;
                break;
            case LZMA_BUF_ERROR:  // no progress possible without more input
                step.status = Status::needsInput;
                break;
            case LZMA_MEM_ERROR:
                step.status = Status::failed;
                step.failure = ImageDecodeTexts::outOfMemory;
                break;
            case LZMA_MEMLIMIT_ERROR:
                step.status = Status::failed;
                step.failure = "the compressed image needs " +
                               std::to_string((lzma_memusage(&lzma) + mebibyte - 1) / mebibyte) +
                               " MiB of memory to decode, more than the " +
                               std::to_string(memoryLimitBytes / mebibyte) + " MiB allowed";
                break;
            default:
                step.status = Status::failed;
                step.failure = ImageDecodeTexts::undecodable(ImageCompression::xz);
                break;
        }
        return step;
    }

private:
    lzma_stream lzma = LZMA_STREAM_INIT;
    bool ready = false;
};

}  // namespace

std::unique_ptr<ImageDecoder> makeXzImageDecoder() {
    auto decoder = std::make_unique<XzImageDecoder>();
    if (!decoder->isReady()) return nullptr;
    return decoder;
}

}  // namespace marlowick
