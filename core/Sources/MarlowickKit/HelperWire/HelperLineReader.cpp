#include "HelperWire/HelperLineReader.hpp"

#include <unistd.h>

#include <cerrno>

namespace marlowick {
namespace {

constexpr std::size_t readChunkBytes = 4096;

}  // namespace

HelperLineReader::HelperLineReader(int fileDescriptor, std::size_t maxLine)
    : fd(fileDescriptor), maxLineBytes(maxLine) {}

bool HelperLineReader::fill() {
    char chunk[readChunkBytes];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            buffer.append(chunk, static_cast<std::size_t>(got));
            return true;
        }
        // A signal is no end of input: the peer may still be writing.
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

HelperLineReadResult HelperLineReader::next() {
    for (;;) {
        const std::size_t newline = buffer.find('\n', scanned);
        if (newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            scanned = 0;
            if (discarding) {
                discarding = false;
                return HelperLineTooLong{maxLineBytes};
            }
            if (line.size() > maxLineBytes) return HelperLineTooLong{maxLineBytes};
            return HelperLine{std::move(line)};
        }
        scanned = buffer.size();
        if (buffer.size() > maxLineBytes) {
            // Keep nothing of the over-long line; its end is found by the scan above.
            discarding = true;
            buffer.clear();
            scanned = 0;
        }
        if (atEOF) {
            if (discarding) {
                discarding = false;
                return HelperLineTooLong{maxLineBytes};
            }
            if (buffer.empty()) return HelperEndOfInput{};
            std::string last = std::move(buffer);
            buffer.clear();
            scanned = 0;
            return HelperLine{std::move(last)};
        }
        if (!fill()) atEOF = true;
    }
}

}  // namespace marlowick
