#pragma once
// An image file on local storage. Only a regular file is an image: a block device, FIFO,
// directory or other special file is refused when opened, and has no size, so that a
// device node is never copied as an endless image and a directory never as an empty one.
// Every open goes through the opener given (this process's rights when none is), and never
// waits (SourceFile).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Block/FileOpener.hpp"
#include "Image/RawImageSource.hpp"

namespace marlowick {

class FileRawImageSource final : public RawImageSource {
public:
    // Takes the size once, now, from the file opened (symbolic links followed).
    explicit FileRawImageSource(std::string path, std::shared_ptr<const FileOpener> opener = nullptr);

    [[nodiscard]] const std::string& path() const { return pathValue; }
    // Absent when the path cannot be examined or is not a regular file.
    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override { return sizeValue; }
    // Fails with "could not open <name> for reading" (name = the last path component), and
    // for a special file adds why, e.g. ": it is a directory, not an image file".
    [[nodiscard]] RawImageOpenResult open() const override;

private:
    std::string pathValue;
    std::shared_ptr<const FileOpener> fileOpener;
    std::optional<std::int64_t> sizeValue;
};

class FileRawImageStream final : public RawImageStream {
public:
    // Takes ownership of an open, readable file descriptor.
    explicit FileRawImageStream(int fileDescriptor) : descriptor(fileDescriptor) {}
    FileRawImageStream(const FileRawImageStream&) = delete;
    FileRawImageStream& operator=(const FileRawImageStream&) = delete;
    ~FileRawImageStream() override;

    void close() override;

protected:
    // A read error gives "read failed: errno 5 (Input/output error)".
    [[nodiscard]] RawImageReadResult readSome(std::span<std::uint8_t> destination) override;

private:
    int descriptor;
};

}  // namespace marlowick
