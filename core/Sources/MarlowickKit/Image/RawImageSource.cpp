#include "Image/RawImageSource.hpp"

#include "Text/CaseDescription.hpp"

#include <algorithm>

namespace marlowick {
namespace {

struct Renderer {
    std::string operator()(const RawImageReadResult::Bytes& r) const {
        return CaseDescription("bytes").field("count", r.count).str();
    }
    std::string operator()(const RawImageReadResult::Failed& r) const {
        return CaseDescription("failed").field("detail", r.detail).str();
    }
    std::string operator()(const RawImageReadResult::EndOfStream&) const { return CaseDescription("endOfStream").str(); }
};

}  // namespace

std::string render(const RawImageReadResult& result) { return std::visit(Renderer{}, result.value); }

void PrintTo(const RawImageReadResult& result, std::ostream* os) { *os << render(result); }

RawImageReadResult RawImageStream::read(std::span<std::uint8_t> into, std::int64_t offset, std::int64_t length) {
    if (length < 1) return readSome({});
    // The caller sizes the buffer; a request past its end would write outside it.
    const auto bufferSize = static_cast<std::int64_t>(into.size());
    if (offset < 0 || offset > bufferSize || length > bufferSize - offset) {
        return RawImageReadResult::failed("read request outside the buffer (offset " + std::to_string(offset) +
                                          ", length " + std::to_string(length) + ", buffer " +
                                          std::to_string(bufferSize) + " bytes)");
    }
    return readSome(into.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
}

RawImageFill RawImageStream::fill(std::span<std::uint8_t> buffer) {
    RawImageFill result;
    const auto capacity = static_cast<std::int64_t>(buffer.size());
    while (result.filled < capacity) {
        RawImageReadResult step = read(buffer, result.filled, capacity - result.filled);
        if (auto* failure = std::get_if<RawImageReadResult::Failed>(&step.value)) {
            result.failure = std::move(failure->detail);
            return result;
        }
        const auto* bytes = std::get_if<RawImageReadResult::Bytes>(&step.value);
        if (bytes == nullptr || bytes->count < 1) break;
        result.filled += std::min(bytes->count, capacity - result.filled);
    }
    return result;
}

}  // namespace marlowick
