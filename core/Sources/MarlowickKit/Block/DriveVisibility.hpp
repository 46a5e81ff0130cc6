#pragma once
// Which drives the drive picker offers. The raw text of each case is its name.

#include <optional>
#include <string_view>

#include "Text/RawValueTable.hpp"

namespace marlowick {

enum class DriveVisibility { usbOnly, allExternal };

inline constexpr RawValueTable<DriveVisibility, 2> driveVisibilityRawValues{{"usbOnly", "allExternal"}};

[[nodiscard]] constexpr std::string_view rawValue(DriveVisibility visibility) {
    return driveVisibilityRawValues.text(visibility);
}
[[nodiscard]] constexpr std::optional<DriveVisibility> driveVisibilityFromRaw(std::string_view raw) {
    return driveVisibilityRawValues.parse(raw);
}

}  // namespace marlowick
