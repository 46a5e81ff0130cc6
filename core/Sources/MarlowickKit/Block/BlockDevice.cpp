#include "Block/BlockDevice.hpp"

#include <algorithm>

#include "Text/CaseDescription.hpp"

namespace marlowick {

BlockReadIntoResult BlockDevice::readSectorsInto(std::int64_t startSector, std::span<std::uint8_t> into) {
    const auto length = static_cast<std::int64_t>(into.size());
    if (length % sectorSize() != 0) return BlockError{BlockError::MisalignedLength{length, sectorSize()}};
    BlockReadResult read = readSectors(startSector, length / sectorSize());
    if (auto* error = std::get_if<BlockError>(&read)) return std::move(*error);
    const std::vector<std::uint8_t>& data = std::get<BlockReadSuccess>(read).data;
    std::copy_n(data.begin(), std::min(data.size(), into.size()), into.begin());
    return BlockReadIntoSuccess{length / sectorSize()};
}

BlockWriteResult BlockDevice::writeSectorsFrom(std::int64_t startSector, std::span<const std::uint8_t> data) {
    return writeSectors(startSector, std::vector<std::uint8_t>(data.begin(), data.end()));
}

std::string render(const BlockFlushResult& result) {
    if (const auto* notHonoured = std::get_if<BlockFlushNotHonoured>(&result)) {
        return CaseDescription("notHonoured").field("detail", notHonoured->detail).str();
    }
    if (const auto* error = std::get_if<BlockError>(&result)) {
        return CaseDescription("failure").rawField("error", render(*error)).str();
    }
    return "success";
}

void PrintTo(const BlockReadSuccess& value, std::ostream* os) {
    *os << "success(data: " << value.data.size() << " bytes)";
}
void PrintTo(const BlockReadIntoSuccess& value, std::ostream* os) {
    *os << "success(sectorsRead: " << value.sectorsRead << ")";
}
void PrintTo(const BlockWriteSuccess& value, std::ostream* os) {
    *os << "success(sectorsWritten: " << value.sectorsWritten << ")";
}
void PrintTo(const BlockFlushNotHonoured& value, std::ostream* os) {
    *os << CaseDescription("notHonoured").field("detail", value.detail).str();
}
void PrintTo(const BlockFlushSuccess&, std::ostream* os) { *os << "success"; }

}  // namespace marlowick
