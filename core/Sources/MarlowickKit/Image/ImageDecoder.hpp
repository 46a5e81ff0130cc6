#pragma once
// One incremental decompressor behind the compressed image stream: it decodes from the
// front of the bytes it is given straight into the caller's buffer and says what it needs
// next. Internal to the image streams; nothing here reads a file.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "Image/ImageCompression.hpp"

namespace marlowick {

struct ImageDecodeStep {
    enum class Status {
        progress,    // call again (with the same or more input)
        needsInput,  // nothing more can be done with the input given
        end,         // the compressed data is complete; the rest of the input is not image data
        failed,      // `failure` says why
    };
    std::size_t consumed = 0;  // taken from the front of the input
    std::size_t produced = 0;  // stored at the front of the output
    Status status = Status::progress;
    std::string failure;
};

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    // `inputEnded`: no byte will ever follow `input`.
    [[nodiscard]] virtual ImageDecodeStep decode(std::span<const std::uint8_t> input, bool inputEnded,
                                                 std::span<std::uint8_t> output) = 0;
};

// nullptr when the library cannot set up its decoder, or for `none`.
[[nodiscard]] std::unique_ptr<ImageDecoder> makeGzipImageDecoder();
[[nodiscard]] std::unique_ptr<ImageDecoder> makeXzImageDecoder();

namespace ImageDecodeTexts {
inline constexpr const char* endedMidStream = "the compressed image ended mid-stream";
inline constexpr const char* outOfMemory = "the decompressor ran out of memory";
// "the compressed image could not be decoded (corrupt or not gzip)"
[[nodiscard]] std::string undecodable(ImageCompression compression);
}  // namespace ImageDecodeTexts

}  // namespace marlowick
