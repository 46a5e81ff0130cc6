#pragma once
// Opens a file that a request names as the source of its bytes: an image to write over a
// drive or to copy onto one, a boot file. Only a regular file is such a source (a symbolic
// link to one is followed). Opening never waits: the file is opened with O_NONBLOCK, so a
// FIFO without a writer opens at once, and then the node actually opened (not one examined
// earlier) is judged with fstat. A FIFO, a device, a directory or a socket is refused before
// a byte is read. The open goes through the FileOpener given, so that the helper opens with
// its caller's rights. Never throws.

#include <cstdint>
#include <string>
#include <variant>

#include "Block/FileOpener.hpp"

namespace marlowick {

class SourceFile {
public:
    enum class Kind { directory, blockDevice, characterDevice, fifo, socket, other };

    // The open failed: the path is missing, not readable with the opener's rights, and so on.
    struct Unopenable {
        int errorNumber = 0;
        bool operator==(const Unopenable&) const = default;
    };
    // The path names something other than a regular file.
    struct NotAFile {
        Kind kind = Kind::other;
        bool operator==(const NotAFile&) const = default;
    };
    using Refusal = std::variant<Unopenable, NotAFile>;

    // An open regular file, its descriptor in blocking mode and positioned at the first byte.
    [[nodiscard]] static std::variant<SourceFile, Refusal> open(const std::string& path, const FileOpener& opener);
    // With this process's own rights.
    [[nodiscard]] static std::variant<SourceFile, Refusal> open(const std::string& path);

    SourceFile(SourceFile&& other) noexcept;
    SourceFile& operator=(SourceFile&&) = delete;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    ~SourceFile();

    [[nodiscard]] int descriptor() const { return fd; }
    // The file's size when it was opened.
    [[nodiscard]] std::int64_t sizeBytes() const { return size; }
    // Hands the descriptor over; the caller closes it.
    [[nodiscard]] int release();

private:
    SourceFile(int descriptor, std::int64_t bytes) : fd(descriptor), size(bytes) {}
    int fd;
    std::int64_t size;
};

// "a directory", "a block device", "a character device", "a FIFO", "a socket", "a special file"
[[nodiscard]] std::string describe(SourceFile::Kind kind);

}  // namespace marlowick
