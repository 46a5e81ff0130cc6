#include "Bytes/GzipHeaderParser.hpp"

namespace marlowick {
namespace {

constexpr std::uint8_t magicFirst = 0x1F, magicSecond = 0x8B, methodDeflate = 8;
constexpr std::uint8_t flagHeaderCrc = 0x02, flagExtra = 0x04, flagName = 0x08, flagComment = 0x10;
// Modification time (4), extra flags (1) and operating system (1).
constexpr int fixedFieldBytes = 6;

}  // namespace

void GzipHeaderParser::moveOnFrom(State finished) {
    const auto after = [](State a, State b) { return static_cast<int>(a) > static_cast<int>(b); };
    // States are declared in header order, so "after" is a comparison of their positions.
    if (!after(finished, State::skipFixed) && (flags & flagExtra) != 0) {
        state = State::extraLengthLow;
    } else if (!after(finished, State::extraSkip) && (flags & flagName) != 0) {
        state = State::nameSkip;
    } else if (!after(finished, State::nameSkip) && (flags & flagComment) != 0) {
        state = State::commentSkip;
    } else if (!after(finished, State::commentSkip) && (flags & flagHeaderCrc) != 0) {
        state = State::headerCrc;
        remaining = 2;
    } else {
        state = State::done;
    }
}

std::optional<std::size_t> GzipHeaderParser::consume(std::span<const std::uint8_t> bytes) {
    std::size_t used = 0;
    while (state != State::done && used < bytes.size()) {
        const std::uint8_t byte = bytes[used++];
        switch (state) {
            case State::magic1:
                if (byte != magicFirst) return std::nullopt;
                state = State::magic2;
                break;
            case State::magic2:
                if (byte != magicSecond) return std::nullopt;
                state = State::method;
                break;
            case State::method:
                if (byte != methodDeflate) return std::nullopt;
                state = State::flags;
                break;
            case State::flags:
                flags = byte;
                remaining = fixedFieldBytes;
                state = State::skipFixed;
                break;
            case State::skipFixed:
                if (--remaining == 0) moveOnFrom(State::skipFixed);
                break;
            case State::extraLengthLow:
                remaining = byte;
                state = State::extraLengthHigh;
                break;
            case State::extraLengthHigh:
                remaining |= byte << 8;
                if (remaining == 0) {
                    moveOnFrom(State::extraSkip);
                } else {
                    state = State::extraSkip;
                }
                break;
            case State::extraSkip:
                if (--remaining == 0) moveOnFrom(State::extraSkip);
                break;
            case State::nameSkip:
            case State::commentSkip:
                if (byte == 0) moveOnFrom(state);
                break;
            case State::headerCrc:
                if (--remaining == 0) state = State::done;
                break;
            case State::done:
                break;
        }
    }
    return used;
}

}  // namespace marlowick
