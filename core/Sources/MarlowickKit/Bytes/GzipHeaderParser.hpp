#pragma once
// Walks the header of one gzip member (RFC 1952) byte by byte, so that it can resume
// across any split of the input. It checks the magic and the DEFLATE method and skips the
// rest: the optional extra field, file name, comment and header CRC-16 are not examined.

#include <cstdint>
#include <optional>
#include <span>

namespace marlowick {

struct GzipHeaderParser {
    enum class State {
        magic1,
        magic2,
        method,
        flags,
        skipFixed,
        extraLengthLow,
        extraLengthHigh,
        extraSkip,
        nameSkip,
        commentSkip,
        headerCrc,
        done,
    };

    State state = State::magic1;
    int remaining = 0;        // bytes still to skip in the current state
    std::uint8_t flags = 0;   // FLG

    // Takes bytes from the front of `bytes` until the header is complete. Returns how many
    // it used (all of them while the header is incomplete), or nullopt for a byte that no
    // gzip header can hold (wrong magic or a method other than DEFLATE).
    [[nodiscard]] std::optional<std::size_t> consume(std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool isDone() const { return state == State::done; }

    bool operator==(const GzipHeaderParser&) const = default;

private:
    // The optional part that follows the one just finished, in the order the format lays them out.
    void moveOnFrom(State finished);
};

}  // namespace marlowick
