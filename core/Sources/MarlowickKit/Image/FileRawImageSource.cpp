#include "Image/FileRawImageSource.hpp"

#include <unistd.h>

#include <cerrno>

#include "Text/ErrnoText.hpp"
#include "Image/SourceFile.hpp"

namespace marlowick {
namespace {

// The name a user recognises: "/srv/isos/disk.img/" shows as "disk.img".
std::string lastPathComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || path.size() == 1) return path;
    return path.substr(slash + 1);
}

}  // namespace

FileRawImageSource::FileRawImageSource(std::string path, std::shared_ptr<const FileOpener> opener)
    : pathValue(std::move(path)),
      fileOpener(opener ? std::move(opener) : std::make_shared<const DefaultFileOpener>()) {
    const auto opened = SourceFile::open(pathValue, *fileOpener);
    if (const auto* file = std::get_if<SourceFile>(&opened)) sizeValue = file->sizeBytes();
}

RawImageOpenResult FileRawImageSource::open() const {
    const std::string refusal = "could not open " + lastPathComponent(pathValue) + " for reading";
    auto opened = SourceFile::open(pathValue, *fileOpener);
    if (auto* file = std::get_if<SourceFile>(&opened)) {
        return RawImageOpenResult::opened(std::make_unique<FileRawImageStream>(file->release()));
    }
    if (const auto* other = std::get_if<SourceFile::NotAFile>(&std::get<SourceFile::Refusal>(opened))) {
        return RawImageOpenResult::failed(refusal + ": it is " + describe(other->kind) + ", not an image file");
    }
    return RawImageOpenResult::failed(refusal);
}

FileRawImageStream::~FileRawImageStream() { close(); }

void FileRawImageStream::close() {
    if (descriptor < 0) return;
    (void)::close(descriptor);
    descriptor = -1;
}

RawImageReadResult FileRawImageStream::readSome(std::span<std::uint8_t> destination) {
    if (destination.empty()) return RawImageReadResult::bytes(0);
    // A closed stream must not read from a descriptor number the process may have reused.
    if (descriptor < 0) return RawImageReadResult::endOfStream();
    ssize_t got = 0;
    do {
        got = ::read(descriptor, destination.data(), destination.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) return RawImageReadResult::failed("read failed: " + currentErrnoText());
    if (got == 0) return RawImageReadResult::endOfStream();
    return RawImageReadResult::bytes(static_cast<std::int64_t>(got));
}

}  // namespace marlowick
