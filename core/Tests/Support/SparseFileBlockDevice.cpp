#include "Support/SparseFileBlockDevice.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>

#include "Block/BlockRequestChecks.hpp"

namespace marlowick::test {
namespace {

std::string errnoText(int error) { return "errno " + std::to_string(error) + " (" + std::strerror(error) + ")"; }

// Repeats a pread or pwrite until every byte has moved; the error text when one fails.
template <class Transfer>
std::optional<std::string> transferAll(std::size_t length, std::int64_t offset, Transfer transfer) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t moved = transfer(done, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (moved < 0 && errno == EINTR) continue;
        if (moved < 0) return errnoText(errno);
        if (moved == 0) return "no bytes moved at offset " + std::to_string(offset + static_cast<std::int64_t>(done));
        done += static_cast<std::size_t>(moved);
    }
    return std::nullopt;
}

}  // namespace

SparseFileBlockDevice::SparseFileBlockDevice(const std::filesystem::path& path, std::int64_t sectorCount,
                                             int sectorSize)
    : filePath(path), sectorCountValue(sectorCount), sectorSizeValue(sectorSize) {
    if (sectorCount < 1 || sectorSize < 1 || sectorCount > std::numeric_limits<off_t>::max() / sectorSize) {
        throw std::invalid_argument("SparseFileBlockDevice: invalid geometry");
    }
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot create " + path.string() + ": " + errnoText(errno));
    if (::ftruncate(fd, static_cast<off_t>(sectorCount * sectorSize)) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("cannot size " + path.string() + ": " + errnoText(error));
    }
}

SparseFileBlockDevice::~SparseFileBlockDevice() { close(); }

BlockReadResult SparseFileBlockDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    if (auto error = BlockRequestChecks::read(fd < 0, startSector, sectorCount, sectorCountValue)) return *error;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(sectorCount * sectorSizeValue));
    const auto failed = transferAll(data.size(), startSector * sectorSizeValue, [&](std::size_t done, off_t at) {
        return ::pread(fd, data.data() + done, data.size() - done, at);
    });
    if (failed) return BlockError{BlockError::DeviceFailure{"read", *failed}};
    return BlockReadSuccess{std::move(data)};
}

BlockWriteResult SparseFileBlockDevice::writeSectors(std::int64_t startSector, const std::vector<std::uint8_t>& data) {
    if (auto error = BlockRequestChecks::write(fd < 0, data.size(), sectorSizeValue, startSector, sectorCountValue)) {
        return *error;
    }
    const auto failed = transferAll(data.size(), startSector * sectorSizeValue, [&](std::size_t done, off_t at) {
        return ::pwrite(fd, data.data() + done, data.size() - done, at);
    });
    if (failed) return BlockError{BlockError::DeviceFailure{"write", *failed}};
    return BlockWriteSuccess{static_cast<std::int64_t>(data.size()) / sectorSizeValue};
}

BlockFlushResult SparseFileBlockDevice::flush() {
    if (fd < 0) return BlockError{BlockError::Closed{"flush"}};
    if (::fsync(fd) != 0) return BlockError{BlockError::DeviceFailure{"flush", errnoText(errno)}};
    return BlockFlushSuccess{};
}

void SparseFileBlockDevice::close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace marlowick::test
