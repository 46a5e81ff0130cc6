#include "Assets/VentoyRegistryCache.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "Assets/ApplicationCacheRoot.hpp"
#include "Assets/AtomicFile.hpp"
#include "Assets/VentoyRegistryParser.hpp"
#include "Assets/VentoyRegistrySignature.hpp"

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
    if (std::optional<std::string> failed = ApplicationCacheRoot::makePrivateDirectories(folder)) return failed;
    if (std::optional<std::string> failed = AtomicFile::write(folder / signatureFileName, signature)) return failed;
    return AtomicFile::write(folder / documentFileName, payload);
}

}  // namespace marlowick
