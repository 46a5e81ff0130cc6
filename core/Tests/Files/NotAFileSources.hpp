#pragma once
// What a user can pick as an image that is no file: a FIFO, a character device, a
// directory and a socket, made in a folder of the test (the device is /dev/null itself),
// and a watchdog for the code that must refuse them at once rather than wait on the FIFO.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace marlowick::test {

struct NotAFileSource {
    const char* name;
    std::filesystem::path path;
    const char* kind;  // as the refusal names it: "a FIFO"
};

// A socket's node at `path` (the socket itself is closed again: the node stays).
[[nodiscard]] bool makeSocketNode(const std::filesystem::path& path);

// Makes the FIFO, the directory and the socket in `folder`; empty when one cannot be made.
[[nodiscard]] std::vector<NotAFileSource> makeNotAFileSources(const std::filesystem::path& folder);

// Runs `work` on a thread of its own and waits for it at most `limit`. When it has not
// returned by then it is taken to be stuck opening one of the FIFOs: each is opened for
// writing, which lets such an open return, again and again until the work is done, and
// the answer is false.
[[nodiscard]] bool finishesWithin(std::chrono::seconds limit, const std::function<void()>& work,
                                  const std::vector<NotAFileSource>& sources);

}  // namespace marlowick::test
