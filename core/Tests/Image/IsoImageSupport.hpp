#pragma once
// Readers and hand-built ISO 9660 bytes for the inspector and routing tests.

#include "Image/IsoByteReader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marlowick::test {

// Delivers `bytes` front to back in reads of at most `chunk` bytes; counts what it handed out.
struct MemoryIsoReader {
    std::vector<std::uint8_t> bytes;
    std::size_t chunk = 4096;
    std::size_t position = 0;
    std::size_t largestRequest = 0;

    IsoReadStep::Case operator()(std::span<std::uint8_t> into) {
        largestRequest = std::max(largestRequest, into.size());
        if (position >= bytes.size()) return IsoReadStep::EndOfStream{};
        const std::size_t n = std::min({into.size(), chunk, bytes.size() - position});
        std::memcpy(into.data(), bytes.data() + position, n);
        position += n;
        return IsoReadStep::Bytes{static_cast<std::int64_t>(n)};
    }
};

// A reader over shared state, so a test can look at the position after the inspector is done.
inline IsoByteReader readerOver(const std::shared_ptr<MemoryIsoReader>& state) {
    return [state](std::span<std::uint8_t> into) { return (*state)(into); };
}

inline IsoByteReader fileReader(const std::filesystem::path& path) {
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    return [file](std::span<std::uint8_t> into) -> IsoReadStep::Case {
        if (!*file) return IsoReadStep::Failed{"could not open the fixture"};
        file->read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
        const std::streamsize got = file->gcount();
        if (got <= 0) return IsoReadStep::EndOfStream{};
        file->clear();
        return IsoReadStep::Bytes{got};
    };
}

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
