// Any bytes through the line reader, checked against a plain split: the first byte sets a
// small line cap, the rest is the stream. Every segment between newlines (and a non-empty
// last one) must come back as that line, or as "too long" when it exceeds the cap.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "HelperWire/HelperLineReader.hpp"

namespace {

std::vector<marlowick::HelperLineReadResult> expectedLines(std::string_view stream, std::size_t cap) {
    std::vector<marlowick::HelperLineReadResult> lines;
    while (!stream.empty()) {
        const std::size_t newline = stream.find('\n');
        const std::string_view segment = stream.substr(0, newline);
        if (segment.size() > cap) {
            lines.emplace_back(marlowick::HelperLineTooLong{cap});
        } else {
            lines.emplace_back(marlowick::HelperLine{std::string(segment)});
        }
        if (newline == std::string_view::npos) break;
        stream.remove_prefix(newline + 1);
    }
    lines.emplace_back(marlowick::HelperEndOfInput{});
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t cap = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    const int fd = ::memfd_create("lines", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    if (::write(fd, stream.data(), stream.size()) != static_cast<ssize_t>(stream.size())) std::abort();
    if (::lseek(fd, 0, SEEK_SET) != 0) std::abort();

    marlowick::HelperLineReader reader(fd, cap);
    std::vector<marlowick::HelperLineReadResult> got;
    do {
        got.push_back(reader.next());
    } while (!std::holds_alternative<marlowick::HelperEndOfInput>(got.back()));
    ::close(fd);
    if (got != expectedLines(stream, cap)) std::abort();
    return 0;
}
