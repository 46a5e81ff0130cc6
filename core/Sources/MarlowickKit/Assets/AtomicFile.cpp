#include "Assets/AtomicFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Text/ErrnoText.hpp"

namespace marlowick::AtomicFile {
namespace {

std::string failed(const std::string& operation, const std::filesystem::path& path) {
    return operation + " " + path.string() + ": " + currentErrnoText();
}

std::optional<std::string> writeAll(int fd, std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return failed("write", path);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> write(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
    // A leading dot and a random suffix: never a name the cache reads, never one that exists.
    const std::string pattern = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
    std::string temporary = pattern;  // mkostemp fills in the name, even when it then fails
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return failed("create", pattern);
    std::optional<std::string> error = writeAll(fd, bytes, temporary);
    if (!error && ::fchmod(fd, privateFileMode) != 0) error = failed("chmod", temporary);
    if (!error && ::fsync(fd) != 0) error = failed("fsync", temporary);
    // close reports delayed write errors on some file systems.
    if (::close(fd) != 0 && !error) error = failed("close", temporary);
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "rename " + temporary + " to " + target.string() + ": " + currentErrnoText();
    }
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    return sync(directory);
}

std::optional<std::string> sync(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failed("open", path);
    std::optional<std::string> error;
    if (::fsync(fd) != 0) error = failed("fsync", path);
    ::close(fd);
    return error;
}

}  // namespace marlowick::AtomicFile
