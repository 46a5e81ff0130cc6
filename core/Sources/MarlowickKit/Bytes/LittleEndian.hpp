#pragma once
// Little-endian numbers inside byte buffers: every on-disk number we lay down or read
// back (MBR, GPT, exFAT, FAT32) goes through these, whatever the host's byte order.
// Callers check the buffer is long enough first. Depends on nothing but the standard library.

#include <cstddef>
#include <cstdint>
#include <span>

namespace marlowick::LittleEndian {

// The `sizeof(T)` bytes at `offset`, lowest first. T is an integer or character type.
template <class T>
[[nodiscard]] constexpr T read(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<std::uint64_t>(bytes[offset + i]) << (8 * i);
    }
    return static_cast<T>(value);
}

template <class T>
constexpr void write(std::span<std::uint8_t> bytes, std::size_t offset, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
}

[[nodiscard]] constexpr std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return read<std::uint16_t>(bytes, offset);
}
[[nodiscard]] constexpr std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return read<std::uint32_t>(bytes, offset);
}
[[nodiscard]] constexpr std::uint64_t read64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return read<std::uint64_t>(bytes, offset);
}
constexpr void write16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    write<std::uint16_t>(bytes, offset, value);
}
constexpr void write32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    write<std::uint32_t>(bytes, offset, value);
}
constexpr void write64(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value) {
    write<std::uint64_t>(bytes, offset, value);
}

}  // namespace marlowick::LittleEndian
