#include "Image/CompressedRawImageSource.hpp"

#include <algorithm>

namespace marlowick {

std::shared_ptr<const RawImageSource> CompressedRawImageSource::forName(std::string_view name,
                                                                        std::shared_ptr<const RawImageSource> source) {
    const ImageCompression compression = ImageCompressionNames::detect(name);
    if (compression == ImageCompression::none) return source;
    return std::make_shared<const CompressedRawImageSource>(std::move(source), compression);
}

RawImageOpenResult CompressedRawImageSource::open() const {
    RawImageOpenResult opened = compressed->open();
    auto* stream = std::get_if<RawImageOpenResult::Opened>(&opened.value);
    if (stream == nullptr) return opened;
    return RawImageOpenResult::opened(std::make_unique<CompressedRawImageStream>(std::move(stream->stream), compression));
}

CompressedRawImageStream::CompressedRawImageStream(std::unique_ptr<RawImageStream> innerStream,
                                                   ImageCompression compression)
    : inner(std::move(innerStream)), compressionValue(compression), input(inputBufferBytes) {
    if (compression == ImageCompression::gzip) decoder = makeGzipImageDecoder();
    if (compression == ImageCompression::xz) decoder = makeXzImageDecoder();
    if (!decoder) failure = "the decompressor could not be started";
}

void CompressedRawImageStream::close() {
    if (closed) return;
    closed = true;
    decoder.reset();
    inner->close();
}

CompressedRawImageStream::Refill CompressedRawImageStream::refill() {
    std::copy(input.begin() + static_cast<std::ptrdiff_t>(pendingStart),
              input.begin() + static_cast<std::ptrdiff_t>(pendingEnd), input.begin());
    pendingEnd -= pendingStart;
    pendingStart = 0;
    const auto space = static_cast<std::int64_t>(input.size() - pendingEnd);
    const RawImageReadResult result = inner->read(input, static_cast<std::int64_t>(pendingEnd), space);
    if (const auto* bytes = std::get_if<RawImageReadResult::Bytes>(&result.value)) {
        // A stream that delivers nothing for a non-empty request has nothing more to give.
        if (bytes->count < 1) return Refill::ended;
        pendingEnd += static_cast<std::size_t>(std::min(bytes->count, space));
        return Refill::ready;
    }
    if (const auto* failed = std::get_if<RawImageReadResult::Failed>(&result.value)) {
        failure = "compressed source read failed: " + failed->detail;
        return Refill::failed;
    }
    return Refill::ended;
}

RawImageReadResult CompressedRawImageStream::fail(std::string detail, std::size_t produced) {
    failure = std::move(detail);
    // Bytes already decoded into the caller's buffer are handed over; the failure follows.
    if (produced > 0) return RawImageReadResult::bytes(static_cast<std::int64_t>(produced));
    return RawImageReadResult::failed(*failure);
}

RawImageReadResult CompressedRawImageStream::readSome(std::span<std::uint8_t> destination) {
    if (failure) return RawImageReadResult::failed(*failure);
    if (finished || closed) return RawImageReadResult::endOfStream();
    if (destination.empty()) return RawImageReadResult::bytes(0);
    std::size_t produced = 0;
    bool wantsInput = false;
    for (;;) {
        if (!sourceEnded && (pendingStart == pendingEnd || wantsInput)) {
            if (pendingEnd - pendingStart == input.size()) {
                return fail(ImageDecodeTexts::undecodable(compressionValue), produced);
            }
            const Refill outcome = refill();
            if (outcome == Refill::failed) return fail(*failure, produced);
            if (outcome == Refill::ended) sourceEnded = true;
        }
        wantsInput = false;
        const std::span<const std::uint8_t> pending(input.data() + pendingStart, pendingEnd - pendingStart);
        const ImageDecodeStep step = decoder->decode(pending, sourceEnded, destination.subspan(produced));
        pendingStart += step.consumed;
        produced += step.produced;
        const bool stalled = step.consumed == 0 && step.produced == 0;
        auto status = step.status;
        if (status == ImageDecodeStep::Status::progress && stalled) status = ImageDecodeStep::Status::needsInput;
        switch (status) {
            case ImageDecodeStep::Status::failed:
                return fail(step.failure, produced);
            case ImageDecodeStep::Status::end:
                // Whatever follows the compressed data is not part of the image.
                finished = true;
                if (produced > 0) return RawImageReadResult::bytes(static_cast<std::int64_t>(produced));
                return RawImageReadResult::endOfStream();
            case ImageDecodeStep::Status::needsInput:
                if (sourceEnded) return fail(ImageDecodeTexts::endedMidStream, produced);
                wantsInput = true;
                break;
            case ImageDecodeStep::Status::progress:
                break;
        }
        if (produced > 0) return RawImageReadResult::bytes(static_cast<std::int64_t>(produced));
    }
}

}  // namespace marlowick
