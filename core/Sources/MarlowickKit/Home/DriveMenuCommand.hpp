#pragma once
// The commands of the application's Drive menu. The raw text of each case is its name;
// any other text, letter case included, names no command.

#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include "Text/RawValueTable.hpp"

namespace marlowick {

enum class DriveMenuCommand { prepare, update, reinstall, removeVentoy, writeRawImage, eject };

inline constexpr RawValueTable<DriveMenuCommand, 6> driveMenuCommandRawValues{
    {"prepare", "update", "reinstall", "removeVentoy", "writeRawImage", "eject"}};

using DriveMenuCommands = std::set<DriveMenuCommand>;

[[nodiscard]] constexpr std::string_view rawValue(DriveMenuCommand command) {
    return driveMenuCommandRawValues.text(command);
}
[[nodiscard]] constexpr std::optional<DriveMenuCommand> driveMenuCommandFromRaw(std::string_view raw) {
    return driveMenuCommandRawValues.parse(raw);
}

inline void PrintTo(DriveMenuCommand command, std::ostream* os) { *os << rawValue(command); }

}  // namespace marlowick
