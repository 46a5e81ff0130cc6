#pragma once
// A zero-filled byte buffer whose first byte sits on a page boundary, as direct I/O on
// Linux block devices wants its memory. Owns its bytes; movable, not copyable.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace marlowick {

class AlignedBuffer {
public:
    // Page alignment satisfies the memory alignment of direct I/O on every Linux block
    // device and file system we meet.
    static constexpr std::size_t alignment = 4096;

    // Nothing when the memory cannot be had.
    [[nodiscard]] static std::optional<AlignedBuffer> allocate(std::size_t bytes);

    [[nodiscard]] std::span<std::uint8_t> bytes() { return {storage.get(), size}; }
    [[nodiscard]] std::span<const std::uint8_t> bytes() const { return {storage.get(), size}; }

    // True when `address` may be handed to a direct transfer as it is.
    [[nodiscard]] static bool isAligned(const void* address) {
        return reinterpret_cast<std::uintptr_t>(address) % alignment == 0;
    }

private:
    struct Free {
        void operator()(std::uint8_t* bytes) const;
    };
    AlignedBuffer(std::uint8_t* bytes, std::size_t count) : storage(bytes), size(count) {}

    std::unique_ptr<std::uint8_t, Free> storage;
    std::size_t size = 0;
};

}  // namespace marlowick
