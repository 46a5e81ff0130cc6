#include "Image/DataRawImageSource.hpp"

#include <algorithm>

namespace marlowick {

DataRawImageSource::DataRawImageSource(std::vector<std::uint8_t> bytes)
    : storage(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))) {}

DataRawImageSource::DataRawImageSource(std::span<const std::uint8_t> data)
    : DataRawImageSource(std::vector<std::uint8_t>(data.begin(), data.end())) {}

std::optional<std::int64_t> DataRawImageSource::sizeBytes() const {
    return static_cast<std::int64_t>(storage->size());
}

RawImageOpenResult DataRawImageSource::open() const {
    return RawImageOpenResult::opened(std::make_unique<DataRawImageStream>(storage));
}

DataRawImageStream::DataRawImageStream(std::shared_ptr<const std::vector<std::uint8_t>> bytes)
    : storage(std::move(bytes)) {}

RawImageReadResult DataRawImageStream::readSome(std::span<std::uint8_t> destination) {
    if (closed) return RawImageReadResult::endOfStream();
    if (destination.empty()) return RawImageReadResult::bytes(0);
    const std::int64_t remaining = static_cast<std::int64_t>(storage->size()) - positionValue;
    if (remaining < 1) return RawImageReadResult::endOfStream();
    const std::int64_t count = std::min(remaining, static_cast<std::int64_t>(destination.size()));
    const auto first = storage->begin() + positionValue;
    std::copy(first, first + count, destination.begin());
    positionValue += count;
    return RawImageReadResult::bytes(count);
}

}  // namespace marlowick
