#pragma once
// SHA-256 in the lower-case hexadecimal text the whole system compares, stores and
// reports checksums in. One-shot for byte strings, incremental for streams.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace marlowick::Sha256 {

using Digest = std::array<std::uint8_t, 32>;

// SHA-256 of the bytes as 64 lower-case hex characters.
[[nodiscard]] std::string hex(std::span<const std::uint8_t> bytes);
// Renders an already computed digest: most significant nibble first, lower case.
// A Digest is rendered, not hashed; hash 32 bytes of data through the span overload.
[[nodiscard]] std::string hex(const Digest& digest);

// Hashes a stream piece by piece. After finalDigest or finalHex it starts over,
// ready for the next stream.
class Hasher {
public:
    Hasher();
    ~Hasher();
    Hasher(Hasher&&) noexcept;
    Hasher& operator=(Hasher&&) noexcept;
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void update(std::span<const std::uint8_t> bytes);
    [[nodiscard]] Digest finalDigest();
    [[nodiscard]] std::string finalHex() { return hex(finalDigest()); }

private:
    struct Context;
    std::unique_ptr<Context> context;
};

}  // namespace marlowick::Sha256
