#pragma once
// A disk image as a sequential byte stream. A source says how many bytes it will deliver
// (when it knows) and opens independent streams at the first byte; a stream is read front
// to back, never seeks, and reports failures as values. Nothing here throws.

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <variant>

namespace marlowick {

struct RawImageReadResult {
    struct Bytes {
        std::int64_t count = 0;  // stored into the caller's buffer; may be fewer than asked
        bool operator==(const Bytes&) const = default;
    };
    struct Failed {
        std::string detail;
        bool operator==(const Failed&) const = default;
    };
    struct EndOfStream {
        bool operator==(const EndOfStream&) const = default;
    };
    using Case = std::variant<Bytes, Failed, EndOfStream>;

    Case value;
    bool operator==(const RawImageReadResult&) const = default;

    static RawImageReadResult bytes(std::int64_t count) { return {Bytes{count}}; }
    static RawImageReadResult failed(std::string detail) { return {Failed{std::move(detail)}}; }
    static RawImageReadResult endOfStream() { return {EndOfStream{}}; }
};

// "bytes(count: 4)", "failed(detail: \"read failed: Input/output error\")", "endOfStream"
[[nodiscard]] std::string render(const RawImageReadResult& result);
void PrintTo(const RawImageReadResult& result, std::ostream* os);

// What one fill of a buffer obtained: the bytes stored at its start, and the detail of the
// read that failed, if one did.
struct RawImageFill {
    std::int64_t filled = 0;
    std::optional<std::string> failure;
    bool operator==(const RawImageFill&) const = default;
};

class RawImageStream {
public:
    virtual ~RawImageStream() = default;

    // Stores up to `length` bytes into `into` from index `offset` on and reports how many.
    // A `length` below 1 returns bytes(count: 0) without reading (after a stored failure or
    // the end, a stream may report those instead). A short count is not an error: callers
    // loop until endOfStream. A request that does not fit inside `into` fails without
    // touching the buffer or the stream.
    [[nodiscard]] RawImageReadResult read(std::span<std::uint8_t> into, std::int64_t offset, std::int64_t length);

    // Reads into `buffer` from its start until it is full, the stream ends, a read returns
    // no bytes or a read fails. A count claimed beyond what was asked is held to what was asked.
    [[nodiscard]] RawImageFill fill(std::span<std::uint8_t> buffer);

    // Releases the underlying resource; errors are ignored; later reads return endOfStream.
    virtual void close() = 0;

protected:
    // `destination` is the caller's requested range, empty for a length below 1.
    [[nodiscard]] virtual RawImageReadResult readSome(std::span<std::uint8_t> destination) = 0;
};

struct RawImageOpenResult {
    struct Opened {
        std::unique_ptr<RawImageStream> stream;  // positioned at the first byte
    };
    struct Failed {
        std::string detail;
    };
    using Case = std::variant<Opened, Failed>;

    Case value;

    static RawImageOpenResult opened(std::unique_ptr<RawImageStream> stream) { return {Opened{std::move(stream)}}; }
    static RawImageOpenResult failed(std::string detail) { return {Failed{std::move(detail)}}; }
};

class RawImageSource {
public:
    virtual ~RawImageSource() = default;

    // The number of bytes a stream will deliver, when known beforehand.
    [[nodiscard]] virtual std::optional<std::int64_t> sizeBytes() const = 0;
    // Each call gives a new, independent stream; a source may be opened any number of times.
    [[nodiscard]] virtual RawImageOpenResult open() const = 0;
};

}  // namespace marlowick
