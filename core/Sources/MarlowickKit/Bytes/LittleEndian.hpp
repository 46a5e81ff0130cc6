#pragma once
// Little-endian numbers inside byte buffers: every on-disk number we lay down or read
// back goes through these. Callers check the buffer is long enough first.

#include <cstddef>
#include <cstdint>
#include <span>

namespace marlowick::LittleEndian {

template <class T>
[[nodiscard]] constexpr T read(std::span<const std::uint8_t> bytes, std::size_t offset) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value = static_cast<T>(value | (static_cast<T>(bytes[offset + i]) << (8 * i)));
    }
    return value;
}

template <class T>
constexpr void write(std::span<std::uint8_t> bytes, std::size_t offset, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
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
