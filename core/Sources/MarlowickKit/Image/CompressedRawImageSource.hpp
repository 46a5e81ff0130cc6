#pragma once
// A gzip- or xz-compressed image read as the raw image it holds, decompressed on the fly.
// Nothing is decompressed to disk or held whole in memory: one 64 KiB input buffer and the
// decoder's own state; decoded bytes go straight into the caller's buffer.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Image/ImageCompression.hpp"
#include "Image/ImageDecoder.hpp"
#include "Image/RawImageSource.hpp"

namespace marlowick {

struct CompressedRawImageSource final : RawImageSource {
    CompressedRawImageSource(std::shared_ptr<const RawImageSource> compressedSource, ImageCompression kind)
        : compressed(std::move(compressedSource)), compression(kind) {}

    // The source itself when the name carries no compression suffix, else a wrapper.
    [[nodiscard]] static std::shared_ptr<const RawImageSource> forName(std::string_view name,
                                                                       std::shared_ptr<const RawImageSource> source);

    // Unknown until the image has been decoded.
    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override { return std::nullopt; }
    // An open failure of the wrapped source is passed on unchanged.
    [[nodiscard]] RawImageOpenResult open() const override;

    std::shared_ptr<const RawImageSource> compressed;
    ImageCompression compression;  // never none
};

class CompressedRawImageStream final : public RawImageStream {
public:
    static constexpr std::size_t inputBufferBytes = 64 * 1024;

    // Always constructed; when the decoder cannot be started the first read fails with
    // "the decompressor could not be started".
    CompressedRawImageStream(std::unique_ptr<RawImageStream> inner, ImageCompression compression);

    // Closes the wrapped stream once; later reads return endOfStream.
    void close() override;

protected:
    // Failures are sticky: once a read failed, every later read returns the same text.
    [[nodiscard]] RawImageReadResult readSome(std::span<std::uint8_t> destination) override;

private:
    enum class Refill { ready, ended, failed };
    // Moves the unconsumed bytes to the front and reads the wrapped stream into the space behind.
    [[nodiscard]] Refill refill();
    [[nodiscard]] RawImageReadResult fail(std::string detail, std::size_t produced);

    std::unique_ptr<RawImageStream> inner;
    std::unique_ptr<ImageDecoder> decoder;
    ImageCompression compressionValue;
    std::vector<std::uint8_t> input;
    std::size_t pendingStart = 0, pendingEnd = 0;  // compressed bytes not yet consumed
    bool sourceEnded = false;
    bool finished = false;
    bool closed = false;
    std::optional<std::string> failure;
};

}  // namespace marlowick
