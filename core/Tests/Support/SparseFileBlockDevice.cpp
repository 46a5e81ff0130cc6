#include "Support/SparseFileBlockDevice.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "Block/BlockRequestChecks.hpp"

namespace marlowick::test {
namespace {

std::string errnoText() { return "errno " + std::to_string(errno) + " (" + std::strerror(errno) + ")"; }

BlockError failure(const char* operation, std::int64_t startSector) {
    return BlockError{BlockError::DeviceFailure{operation, "lba " + std::to_string(startSector) + ": " + errnoText()}};
}

bool allZero(const std::vector<std::uint8_t>& data) {
    return std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::unique_ptr<SparseFileBlockDevice> SparseFileBlockDevice::create(const std::filesystem::path& path,
                                                                     int sectorSize, std::int64_t sectorCount) {
    if (sectorSize < 1 || sectorCount < 1) throw std::invalid_argument("SparseFileBlockDevice: invalid geometry");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("open " + path.string() + ": " + errnoText());
    if (::ftruncate(fd, static_cast<off_t>(sectorCount) * sectorSize) != 0) {
        const std::string detail = errnoText();
        ::close(fd);
        throw std::runtime_error("ftruncate " + path.string() + ": " + detail);
    }
    return std::unique_ptr<SparseFileBlockDevice>(new SparseFileBlockDevice(path, fd, sectorSize, sectorCount));
}

SparseFileBlockDevice::~SparseFileBlockDevice() { close(); }

BlockReadResult SparseFileBlockDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectorCountValue)) return *error;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(sectorCount * sectorSizeValue));
    const off_t base = static_cast<off_t>(startSector) * sectorSizeValue;
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t got = ::pread(fd, data.data() + done, data.size() - done, base + static_cast<off_t>(done));
        if (got <= 0) return failure("read", startSector);
        done += static_cast<std::size_t>(got);
    }
    return BlockReadSuccess{std::move(data)};
}

BlockWriteResult SparseFileBlockDevice::writeSectors(std::int64_t startSector, const std::vector<std::uint8_t>& data) {
    if (auto error = BlockRequestChecks::write(closed, data.size(), sectorSizeValue, startSector, sectorCountValue)) {
        return *error;
    }
    const off_t base = static_cast<off_t>(startSector) * sectorSizeValue;
    const auto length = static_cast<off_t>(data.size());
    const bool punched = allZero(data) && ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, base, length) == 0;
    for (std::size_t done = punched ? data.size() : 0; done < data.size();) {
        const ssize_t put = ::pwrite(fd, data.data() + done, data.size() - done, base + static_cast<off_t>(done));
        if (put <= 0) return failure("write", startSector);
        done += static_cast<std::size_t>(put);
    }
    return BlockWriteSuccess{static_cast<std::int64_t>(data.size()) / sectorSizeValue};
}

BlockFlushResult SparseFileBlockDevice::flush() {
    if (closed) return BlockError{BlockError::Closed{"flush"}};
    ++flushes;
    return BlockFlushSuccess{};
}

void SparseFileBlockDevice::close() {
    if (closed) return;
    closed = true;
    ::close(fd);
}

void copySparseSlice(const std::filesystem::path& source, std::int64_t offsetBytes, std::int64_t lengthBytes,
                     const std::filesystem::path& destination) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const auto fail = [&](const std::string& what) {
        const std::string detail = what + ": " + errnoText();
        if (in >= 0) ::close(in);
        if (out >= 0) ::close(out);
        throw std::runtime_error(detail);
    };
    if (in < 0 || out < 0) fail("open");
    if (::ftruncate(out, static_cast<off_t>(lengthBytes)) != 0) fail("ftruncate");
    const off_t end = static_cast<off_t>(offsetBytes + lengthBytes);
    std::vector<std::uint8_t> buffer(1 << 20);
    off_t position = static_cast<off_t>(offsetBytes);
    while (position < end) {
        const off_t dataStart = ::lseek(in, position, SEEK_DATA);
        if (dataStart < 0 && errno == ENXIO) break;  // only holes remain
        if (dataStart < 0) fail("lseek SEEK_DATA");
        if (dataStart >= end) break;
        const off_t holeStart = ::lseek(in, dataStart, SEEK_HOLE);
        if (holeStart < 0) fail("lseek SEEK_HOLE");
        const off_t dataEnd = std::min(holeStart, end);
        for (off_t at = dataStart; at < dataEnd;) {
            const auto want = static_cast<std::size_t>(std::min<off_t>(dataEnd - at, static_cast<off_t>(buffer.size())));
            const ssize_t got = ::pread(in, buffer.data(), want, at);
            if (got <= 0) fail("pread");
            if (::pwrite(out, buffer.data(), static_cast<std::size_t>(got), at - offsetBytes) != got) fail("pwrite");
            at += got;
        }
        position = dataEnd;
    }
    ::close(in);
    if (::close(out) != 0) throw std::runtime_error("close " + destination.string() + ": " + errnoText());
}

}  // namespace marlowick::test
