#include "Support/SparseBlockDevice.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "Block/BlockRequestChecks.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {

SparseBlockDevice::SparseBlockDevice(std::int64_t sectorCount, int sectorSize)
    : sectorCountValue(sectorCount), sectorSizeValue(sectorSize) {}

BlockReadResult SparseBlockDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    if (auto error = BlockRequestChecks::read(closed, startSector, sectorCount, sectorCountValue)) return *error;
    if (readFailure && readFailure->first >= startSector && readFailure->first < startSector + sectorCount) {
        return readFailure->second;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(sectorCount * sectorSizeValue), 0);
    for (auto it = sectors.lower_bound(startSector); it != sectors.end() && it->first < startSector + sectorCount; ++it) {
        std::copy(it->second.begin(), it->second.end(), data.begin() + (it->first - startSector) * sectorSizeValue);
    }
    return BlockReadSuccess{std::move(data)};
}

BlockWriteResult SparseBlockDevice::writeSectors(std::int64_t startSector, const std::vector<std::uint8_t>& data) {
    const std::size_t call = writeCalls++;
    if (auto error = BlockRequestChecks::write(closed, data.size(), sectorSizeValue, startSector, sectorCountValue)) {
        return *error;
    }
    if (writeFailure && call >= writeFailure->first) return writeFailure->second;
    const std::int64_t count = static_cast<std::int64_t>(data.size()) / sectorSizeValue;
    for (std::int64_t i = 0; i < count; ++i) {
        const auto begin = data.begin() + i * sectorSizeValue;
        sectors[startSector + i].assign(begin, begin + sectorSizeValue);
    }
    writeLog.push_back(Write{startSector, count});
    return BlockWriteSuccess{count};
}

BlockFlushResult SparseBlockDevice::flush() {
    if (closed) return BlockError{BlockError::Closed{"flush"}};
    return BlockFlushSuccess{};
}

void SparseBlockDevice::failWritesFrom(std::size_t index, BlockError error) {
    writeFailure.emplace(index, std::move(error));
}

void SparseBlockDevice::failReadsOf(std::int64_t sector, BlockError error) { readFailure.emplace(sector, std::move(error)); }

std::vector<std::uint8_t>& SparseBlockDevice::sector(std::int64_t index) {
    std::vector<std::uint8_t>& bytes = sectors[index];
    bytes.resize(static_cast<std::size_t>(sectorSizeValue), 0);
    return bytes;
}

void SparseBlockDevice::dumpTo(const std::filesystem::path& path) const {
    createSparseFile(path, sectorCountValue * sectorSizeValue);
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path.string());
    for (const auto& [index, bytes] : sectors) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), index * sectorSizeValue);
        if (written != static_cast<ssize_t>(bytes.size())) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    ::close(fd);
}

}  // namespace marlowick::test
