#pragma once
// An image held in memory: for tests and for small images built on the fly. Every stream
// shares the one immutable byte array.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Image/RawImageSource.hpp"

namespace marlowick {

class DataRawImageSource final : public RawImageSource {
public:
    explicit DataRawImageSource(std::vector<std::uint8_t> bytes);
    explicit DataRawImageSource(std::span<const std::uint8_t> data);

    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override;
    [[nodiscard]] RawImageOpenResult open() const override;
    [[nodiscard]] const std::vector<std::uint8_t>& bytes() const { return *storage; }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> storage;
};

class DataRawImageStream final : public RawImageStream {
public:
    explicit DataRawImageStream(std::shared_ptr<const std::vector<std::uint8_t>> bytes);

    void close() override { closed = true; }
    [[nodiscard]] std::int64_t position() const { return positionValue; }

protected:
    [[nodiscard]] RawImageReadResult readSome(std::span<std::uint8_t> destination) override;

private:
    std::shared_ptr<const std::vector<std::uint8_t>> storage;
    std::int64_t positionValue = 0;
    bool closed = false;
};

}  // namespace marlowick
