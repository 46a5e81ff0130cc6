#pragma once
// Why a listed disk deserves a second look before it is erased. The raw text of each case is its name.

#include <optional>
#include <string_view>

#include "Text/RawValueTable.hpp"

namespace marlowick {

enum class DriveCaution { fixedDiskInEnclosure, unusuallyLarge };

inline constexpr RawValueTable<DriveCaution, 2> driveCautionRawValues{{"fixedDiskInEnclosure", "unusuallyLarge"}};

[[nodiscard]] constexpr std::string_view rawValue(DriveCaution caution) { return driveCautionRawValues.text(caution); }

}  // namespace marlowick
