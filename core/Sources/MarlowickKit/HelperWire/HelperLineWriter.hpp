#pragma once
// Writes one line of the app ↔ helper pipe: the bytes, then one 0x0A, all of them. Short
// writes go on where they stopped and EINTR is retried. The descriptor is not owned. A peer
// that has gone away makes write fail with EPIPE; the program must ignore SIGPIPE to see it.

#include <string_view>

namespace marlowick {

// False when the descriptor refused a write (the peer closed its end, a bad descriptor).
[[nodiscard]] bool writeHelperLine(int fileDescriptor, std::string_view lineWithoutNewline);

}  // namespace marlowick
