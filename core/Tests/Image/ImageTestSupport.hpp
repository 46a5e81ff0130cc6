#pragma once
// Reading whole image streams in the image tests.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Image/RawImageSource.hpp"

namespace marlowick::test {

// What a stream gave before it ended or failed.
struct StreamContents {
    std::vector<std::uint8_t> bytes;
    std::string failure;  // empty when the stream reached endOfStream
};

// Reads the stream to its end in requests of `chunkSize` bytes placed at a moving offset
// inside a larger buffer, so that a stream writing outside its range would be noticed.
StreamContents readToEnd(RawImageStream& stream, std::int64_t chunkSize);
// Opens the source and reads it to its end; an open failure lands in `failure`.
StreamContents readToEnd(const RawImageSource& source, std::int64_t chunkSize);

// A source that hands out at most `perRead` bytes on every read of the wrapped source's streams.
class TricklingSource final : public RawImageSource {
public:
    TricklingSource(std::shared_ptr<const RawImageSource> inner, std::int64_t perRead)
        : wrapped(std::move(inner)), perReadBytes(perRead) {}
    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override { return wrapped->sizeBytes(); }
    [[nodiscard]] RawImageOpenResult open() const override;

private:
    std::shared_ptr<const RawImageSource> wrapped;
    std::int64_t perReadBytes;
};

}  // namespace marlowick::test
