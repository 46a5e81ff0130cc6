#include "HelperWire/HelperLineWriter.hpp"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace marlowick {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

}  // namespace

bool writeHelperLine(int fileDescriptor, std::string_view line) {
    // One buffer, so that a small line leaves in one write and never interleaves with another writer's.
    std::string framed;
    framed.reserve(line.size() + 1);
    framed.append(line);
    framed.push_back('\n');
    return writeAll(fileDescriptor, framed);
}

}  // namespace marlowick
