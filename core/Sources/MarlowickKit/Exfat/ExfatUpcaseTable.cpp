#include "Exfat/ExfatUpcaseTable.hpp"

#include <memory>

#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick {
namespace {

constexpr char16_t identityRunMark = 0xFFFF;

}  // namespace

std::int32_t ExfatUpcaseTable::checksum() {
    static const std::int32_t value = ExfatStructures::upcaseChecksum(bytes);
    return value;
}

const ExfatUpcaseTable::Mapping& ExfatUpcaseTable::mapping() {
    static const std::unique_ptr<const Mapping> expanded = std::make_unique<const Mapping>(expand(bytes));
    return *expanded;
}

ExfatUpcaseTable::Mapping ExfatUpcaseTable::expand(std::span<const std::uint8_t> compressed) {
    Mapping result{};
    for (std::size_t unit = 0; unit < result.size(); ++unit) result[unit] = static_cast<char16_t>(unit);

    const std::size_t unitCount = compressed.size() / 2;
    std::size_t target = 0;
    for (std::size_t index = 0; index < unitCount && target < result.size(); ++index) {
        const auto unit = LittleEndian::read<char16_t>(compressed, index * 2);
        if (unit == identityRunMark && index + 1 < unitCount) {
            target += LittleEndian::read16(compressed, ++index * 2);
            continue;
        }
        result[target++] = unit;
    }
    return result;
}

}  // namespace marlowick
