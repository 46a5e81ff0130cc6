#pragma once
// Splits the bytes of a file descriptor into 0x0A-terminated lines: the framing of the
// app ↔ helper pipe in both directions. The descriptor is not owned and never closed; it
// should be blocking. One thread at a time (the helper's main thread reads the command,
// then hands the reader to its cancel-watch thread).

#include <cstddef>
#include <string>
#include <variant>

namespace marlowick {

// One line without its 0x0A; it may be empty. A last line without a newline counts.
struct HelperLine {
    std::string bytes;
    bool operator==(const HelperLine&) const = default;
};
// A line longer than the cap: its bytes were dropped up to and including its 0x0A, and
// reading goes on with the next line.
struct HelperLineTooLong {
    std::size_t limit = 0;
    bool operator==(const HelperLineTooLong&) const = default;
};
// The input is exhausted (or a read failed); every later call says so again.
struct HelperEndOfInput {
    bool operator==(const HelperEndOfInput&) const = default;
};
using HelperLineReadResult = std::variant<HelperLine, HelperLineTooLong, HelperEndOfInput>;

class HelperLineReader {
public:
    // Generous for a command or a frame, yet a peer that never sends a newline cannot make
    // the reader grow without bound.
    static constexpr std::size_t defaultMaxLineBytes = 16 * 1024 * 1024;

    explicit HelperLineReader(int fileDescriptor, std::size_t maxLineBytes = defaultMaxLineBytes);

    // Blocks until a whole line, the end of input or a read error. EINTR is retried.
    [[nodiscard]] HelperLineReadResult next();

private:
    // One read(2) into `buffer`; false at end of input or on an error other than EINTR.
    bool fill();

    int fd;
    std::size_t maxLineBytes;
    std::string buffer;
    std::size_t scanned = 0;    // bytes of `buffer` already known to hold no 0x0A
    bool discarding = false;    // dropping the rest of an over-long line
    bool atEOF = false;
};

}  // namespace marlowick
