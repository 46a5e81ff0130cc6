#include "Image/IsoByteReader.hpp"

#include <algorithm>

namespace marlowick {

IsoFillResult fillFrom(const IsoByteReader& read, std::span<std::uint8_t> buffer) {
    IsoFillResult result;
    const auto capacity = static_cast<std::int64_t>(buffer.size());
    while (result.filled < capacity) {
        IsoReadStep::Case step = read(buffer.subspan(static_cast<std::size_t>(result.filled)));
        if (auto* failure = std::get_if<IsoReadStep::Failed>(&step)) {
            result.failed = true;
            result.detail = std::move(failure->detail);
            return result;
        }
        const auto* bytes = std::get_if<IsoReadStep::Bytes>(&step);
        if (bytes == nullptr || bytes->count <= 0) break;
        result.filled += std::min(bytes->count, capacity - result.filled);
    }
    return result;
}

}  // namespace marlowick
