#include "Image/ImageTestSupport.hpp"

#include <algorithm>
#include <stdexcept>

namespace marlowick::test {
namespace {

class TricklingStream final : public RawImageStream {
public:
    TricklingStream(std::unique_ptr<RawImageStream> inner, std::int64_t perRead)
        : wrapped(std::move(inner)), perReadBytes(perRead) {}
    void close() override { wrapped->close(); }

protected:
    RawImageReadResult readSome(std::span<std::uint8_t> destination) override {
        const auto length = std::min<std::int64_t>(static_cast<std::int64_t>(destination.size()), perReadBytes);
        return wrapped->read(destination, 0, length);
    }

private:
    std::unique_ptr<RawImageStream> wrapped;
    std::int64_t perReadBytes;
};

}  // namespace

StreamContents readToEnd(RawImageStream& stream, std::int64_t chunkSize) {
    constexpr std::uint8_t guard = 0xEE;
    const auto size = static_cast<std::size_t>(chunkSize);
    std::vector<std::uint8_t> buffer(size + 7, guard);
    StreamContents contents;
    for (std::size_t round = 0;; ++round) {
        const std::size_t offset = round % 7;
        const RawImageReadResult result = stream.read(buffer, static_cast<std::int64_t>(offset), chunkSize);
        if (const auto* bytes = std::get_if<RawImageReadResult::Bytes>(&result.value)) {
            if (bytes->count < 1 || bytes->count > chunkSize) throw std::logic_error("bad count " + render(result));
            const auto first = buffer.begin() + static_cast<std::ptrdiff_t>(offset);
            contents.bytes.insert(contents.bytes.end(), first, first + bytes->count);
            const bool guardKept = std::all_of(buffer.begin(), first, [](std::uint8_t b) { return b == guard; }) &&
                                   std::all_of(first + chunkSize, buffer.end(), [](std::uint8_t b) { return b == guard; });
            if (!guardKept) throw std::logic_error("the stream wrote outside the requested range");
            std::fill(buffer.begin(), buffer.end(), guard);
        } else if (const auto* failed = std::get_if<RawImageReadResult::Failed>(&result.value)) {
            contents.failure = failed->detail;
            return contents;
        } else {
            return contents;
        }
    }
}

StreamContents readToEnd(const RawImageSource& source, std::int64_t chunkSize) {
    RawImageOpenResult opened = source.open();
    if (auto* failed = std::get_if<RawImageOpenResult::Failed>(&opened.value)) return {{}, failed->detail};
    auto& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
    StreamContents contents = readToEnd(stream, chunkSize);
    stream.close();
    return contents;
}

RawImageOpenResult TricklingSource::open() const {
    RawImageOpenResult opened = wrapped->open();
    if (auto* stream = std::get_if<RawImageOpenResult::Opened>(&opened.value)) {
        return RawImageOpenResult::opened(std::make_unique<TricklingStream>(std::move(stream->stream), perReadBytes));
    }
    return opened;
}

}  // namespace marlowick::test
