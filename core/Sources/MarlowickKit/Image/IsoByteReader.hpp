#pragma once
// The one thing the ISO inspector needs of an image: forward reads from its first byte.
// A caller adapts its own stream to this function; the inspector never seeks, never
// reopens and never closes what it reads from.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <variant>

namespace marlowick {

struct IsoReadStep {
    // That many bytes were stored at the start of `into`; a short count is no error.
    struct Bytes {
        std::int64_t count;
        bool operator==(const Bytes&) const = default;
    };
    struct EndOfStream {
        bool operator==(const EndOfStream&) const = default;
    };
    // The read failed; `detail` is the stream's own text, passed on unchanged.
    struct Failed {
        std::string detail;
        bool operator==(const Failed&) const = default;
    };
    using Case = std::variant<Bytes, EndOfStream, Failed>;
};

// Reads up to `into.size()` bytes into `into`, continuing where the previous read stopped.
using IsoByteReader = std::function<IsoReadStep::Case(std::span<std::uint8_t> into)>;

struct IsoFillResult {
    std::int64_t filled = 0;  // bytes stored at the start of the buffer
    bool failed = false;      // a read failed; `detail` says why
    std::string detail;
    bool operator==(const IsoFillResult&) const = default;
};

// Reads into `buffer` until it is full, the stream ends, a read returns no bytes or a read
// fails. A count the reader claims beyond what was asked is held to what was asked.
[[nodiscard]] IsoFillResult fillFrom(const IsoByteReader& read, std::span<std::uint8_t> buffer);

}  // namespace marlowick
