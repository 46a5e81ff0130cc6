#pragma once
// Readers and hand-built ISO 9660 bytes for the inspector and routing tests.

#include "Image/RawImageSource.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marlowick::test {

// Delivers `bytes` front to back in reads of at most `chunk` bytes; remembers how far it got.
class MemoryIsoStream final : public RawImageStream {
public:
    explicit MemoryIsoStream(std::vector<std::uint8_t> image, std::size_t chunkBytes = 4096)
        : bytes(std::move(image)), chunk(chunkBytes) {}
    void close() override {
        ++closes;
        if (onClose) onClose();
    }

    std::vector<std::uint8_t> bytes;
    std::size_t chunk;
    std::size_t position = 0;
    std::size_t largestRequest = 0;
    int closes = 0;
    std::function<void()> onClose;

protected:
    RawImageReadResult readSome(std::span<std::uint8_t> into) override {
        largestRequest = std::max(largestRequest, into.size());
        if (position >= bytes.size()) return RawImageReadResult::endOfStream();
        const std::size_t n = std::min({into.size(), chunk, bytes.size() - position});
        std::memcpy(into.data(), bytes.data() + position, n);
        position += n;
        return RawImageReadResult::bytes(static_cast<std::int64_t>(n));
    }
};

// A source over bytes in memory that counts the streams it opened and that were closed.
class CountingSource final : public RawImageSource {
public:
    explicit CountingSource(std::vector<std::uint8_t> image) : bytes(std::move(image)) {}
    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override {
        return static_cast<std::int64_t>(bytes.size());
    }
    [[nodiscard]] RawImageOpenResult open() const override {
        ++opens;
        auto stream = std::make_unique<MemoryIsoStream>(bytes);
        stream->onClose = [this] { ++closes; };
        return RawImageOpenResult::opened(std::move(stream));
    }

    std::vector<std::uint8_t> bytes;
    mutable int opens = 0;
    mutable int closes = 0;
};

// A stream whose every read is answered by `answer`, for failures and misbehaving streams.
class ScriptedIsoStream final : public RawImageStream {
public:
    using Answer = std::function<RawImageReadResult(std::span<std::uint8_t> into)>;
    explicit ScriptedIsoStream(Answer reply) : answer(std::move(reply)) {}
    void close() override {}

protected:
    RawImageReadResult readSome(std::span<std::uint8_t> into) override { return answer(into); }

private:
    Answer answer;
};

inline void putLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void putText(std::vector<std::uint8_t>& bytes, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

// One volume descriptor: type byte and "CD001".
inline void putDescriptor(std::vector<std::uint8_t>& image, int index, std::uint8_t type) {
    const std::size_t start = static_cast<std::size_t>(index) * 2048;
    if (image.size() < start + 2048) image.resize(start + 2048);
    image[start] = type;
    putText(image, start + 1, "CD001");
}

// Primary descriptor at 16 declaring `blocks` × `blockSize`, an El Torito boot record at 17
// pointing at `catalogSector`, the terminator at 18; zero-filled to `totalBytes`.
inline std::vector<std::uint8_t> elToritoImage(std::uint32_t catalogSector, std::size_t totalBytes,
                                               std::uint32_t blocks = 100, std::uint16_t blockSize = 2048) {
    std::vector<std::uint8_t> image(totalBytes);
    putDescriptor(image, 16, 1);
    putLittleEndian(image, 16 * 2048 + 80, blocks, 4);
    putLittleEndian(image, 16 * 2048 + 128, blockSize, 2);
    putDescriptor(image, 17, 0);
    putText(image, 17 * 2048 + 7, "EL TORITO SPECIFICATION");
    putLittleEndian(image, 17 * 2048 + 71, catalogSector, 4);
    putDescriptor(image, 18, 255);
    image.resize(std::max(image.size(), totalBytes));
    return image;
}

inline void putBootSignature(std::vector<std::uint8_t>& image) {
    image[510] = 0x55;
    image[511] = 0xAA;
}

// A 2048-byte catalog: validation entry for `platform` with a correct checksum, then the
// given entries (32 bytes each) from offset 32.
inline std::vector<std::uint8_t> catalogSector(std::uint8_t platform, const std::vector<std::vector<std::uint8_t>>& entries) {
    std::vector<std::uint8_t> sector(2048);
    sector[0] = 0x01;
    sector[1] = platform;
    sector[30] = 0x55;
    sector[31] = 0xAA;
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < 32; i += 2) sum = static_cast<std::uint16_t>(sum + (sector[i] | (sector[i + 1] << 8)));
    putLittleEndian(sector, 28, static_cast<std::uint16_t>(0x10000 - sum), 2);
    std::size_t offset = 32;
    for (const auto& entry : entries) {
        std::copy(entry.begin(), entry.end(), sector.begin() + static_cast<std::ptrdiff_t>(offset));
        offset += 32;
    }
    return sector;
}

// A 32-byte catalog entry whose first bytes are `head`.
inline std::vector<std::uint8_t> entry(std::vector<std::uint8_t> head) {
    head.resize(32);
    return head;
}

}  // namespace marlowick::test
