#include "Assets/VentoyRegistryCache.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "Assets/VentoyRegistryParser.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "Block/ErrnoText.hpp"

namespace marlowick {
namespace {

// One lock for every cache of the process: a store of two files must not interleave with
// a read of the pair, whichever cache value either goes through.
std::mutex& pairLock() {
    static std::mutex lock;
    return lock;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int get() const { return fd; }
    // Closes now and reports whether the close succeeded.
    bool close() {
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0;
    }

private:
    int fd;
};

std::optional<std::vector<std::uint8_t>> readWhole(const std::filesystem::path& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[16384];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) return bytes;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

std::string failure(const std::string& operation, const std::filesystem::path& path) {
    return operation + " " + path.string() + ": " + currentErrnoText();
}

// Writes to a fresh temporary file beside `path`, flushes it to the disk and renames it
// over `path`, so a reader finds the old file or the new one, never a part.
std::optional<std::string> replaceAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::string temporary = path.string() + ".XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return failure("create", temporary);
    const auto abandon = [&](const std::string& operation) {
        std::string detail = failure(operation, temporary);
        ::unlink(temporary.c_str());
        return detail;
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(file.get(), bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return abandon("write");
        written += static_cast<std::size_t>(put);
    }
    if (::fsync(file.get()) != 0) return abandon("fsync");
    if (!file.close()) return abandon("close");
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        std::string detail = failure("rename", path);
        ::unlink(temporary.c_str());
        return detail;
    }
    return std::nullopt;
}

}  // namespace

VentoyRegistryCache::VentoyRegistryCache(std::filesystem::path directory) : folder(std::move(directory)) {}

std::optional<VentoyRegistrySignedBytes> VentoyRegistryCache::signedBytes(std::string_view publicKeyBase64) const {
    std::optional<std::vector<std::uint8_t>> payload;
    std::optional<std::vector<std::uint8_t>> signature;
    {
        const std::lock_guard guard(pairLock());
        payload = readWhole(folder / documentFileName);
        if (!payload) return std::nullopt;
        signature = readWhole(folder / signatureFileName);
        if (!signature) return std::nullopt;
    }
    if (!VentoyRegistrySignature::verify(*payload, *signature, publicKeyBase64)) return std::nullopt;
    return VentoyRegistrySignedBytes{.payload = std::move(*payload), .signature = std::move(*signature)};
}

std::optional<VentoyVersionRegistry> VentoyRegistryCache::load(std::string_view publicKeyBase64) const {
    const std::optional<VentoyRegistrySignedBytes> pair = signedBytes(publicKeyBase64);
    if (!pair) return std::nullopt;
    return VentoyRegistryParser::parse(pair->payload);
}

std::optional<std::string> VentoyRegistryCache::store(std::span<const std::uint8_t> payload,
                                                      std::span<const std::uint8_t> signature) const {
    const std::lock_guard guard(pairLock());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return "create directory " + folder.string() + ": " + errnoText(error.value());
    if (std::optional<std::string> failed = replaceAtomically(folder / signatureFileName, signature)) return failed;
    return replaceAtomically(folder / documentFileName, payload);
}

}  // namespace marlowick
