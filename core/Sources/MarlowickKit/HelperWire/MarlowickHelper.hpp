#pragma once
// What the application and the helper program both know of the helper program: its file
// name and the version it logs when it starts.

#include <string_view>

namespace marlowick::MarlowickHelper {

inline constexpr std::string_view executableName = "marlowick-helper";
inline constexpr std::string_view version = "0.3.0";

}  // namespace marlowick::MarlowickHelper
