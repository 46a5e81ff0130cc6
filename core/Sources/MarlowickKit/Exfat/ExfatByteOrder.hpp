#pragma once
// Little-endian field access for the exFAT builders and readers: every on-disk integer of
// the file system is little-endian, whatever the host's byte order.

#include <cstddef>
#include <cstdint>
#include <span>

namespace marlowick::ExfatByteOrder {

template <class T>
void store(std::span<std::uint8_t> bytes, std::size_t offset, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
}

template <class T>
[[nodiscard]] T load(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<std::uint64_t>(bytes[offset + i]) << (8 * i);
    }
    return static_cast<T>(value);
}

}  // namespace marlowick::ExfatByteOrder
