#include "Format/FormatTestDevices.hpp"

#include <algorithm>

#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick::test {
namespace {

bool touches(const std::optional<std::int64_t>& sector, std::int64_t start, std::int64_t count) {
    return sector && *sector >= start && *sector < start + count;
}

}  // namespace

BlockReadResult ScriptedDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    events.push_back("read " + std::to_string(startSector) + "+" + std::to_string(sectorCount));
    if (touches(failReadAt, startSector, sectorCount)) return readRefused;
    return medium.readSectors(startSector, sectorCount);
}

BlockWriteResult ScriptedDevice::writeSectors(std::int64_t startSector, const std::vector<std::uint8_t>& data) {
    const std::int64_t count = static_cast<std::int64_t>(data.size()) / medium.sectorSize();
    const int call = writeCalls++;
    events.push_back("write " + std::to_string(startSector) + "+" + std::to_string(count));
    if (touches(failWriteAt, startSector, count) || failWriteCall == call) return writeRefused;
    if (touches(dropWriteAt, startSector, count)) {
        writes.push_back({startSector, count});
        return BlockWriteSuccess{count};
    }
    BlockWriteResult result = medium.writeSectors(startSector, data);
    if (std::holds_alternative<BlockWriteSuccess>(result)) writes.push_back({startSector, count});
    return result;
}

BlockFlushResult ScriptedDevice::flush() {
    const auto call = static_cast<std::size_t>(flushCalls++);
    events.emplace_back("flush");
    if (call < flushScript.size()) return flushScript[call];
    return medium.flush();
}

ExfatFormatResult FakeExfatFormatter::format(BlockDevice& device, const ExfatFormatParams& params) const {
    namespace Boot = ExfatStructures::BootSector;
    calls.push_back(params);
    if (mode == Mode::rejected) return {ExfatFormatResult::Invalid{{ExfatFormatError::VolumeTooSmall{1, 2}}}};
    if (mode == Mode::writeFailed) return {ExfatFormatResult::WriteFailed{"FAT", writeRefused}};
    std::vector<std::uint8_t> sector(static_cast<std::size_t>(device.sectorSize()), 0);
    std::copy(Boot::fileSystemName.begin(), Boot::fileSystemName.end(), sector.begin() + Boot::fileSystemNameOffset);
    const std::uint32_t serial = mode == Mode::wrongSerial ? ~params.volumeSerialNumber : params.volumeSerialNumber;
    LittleEndian::write32(sector, Boot::volumeSerialNumberOffset, serial);
    sector[Boot::bootSignatureOffset] = 0x55;
    sector[Boot::bootSignatureOffset + 1] = 0xAA;
    const BlockWriteResult written = device.writeSectors(params.volumeOffsetSectors, sector);
    if (const auto* error = std::get_if<BlockError>(&written)) return {ExfatFormatResult::WriteFailed{"boot region", *error}};
    ExfatLayout layout;
    layout.bytesPerSector = device.sectorSize();
    layout.sectorsPerCluster = sectorsPerCluster;
    layout.clusterCount = clusterCount;
    return {ExfatFormatResult::Success{layout}};
}

}  // namespace marlowick::test
