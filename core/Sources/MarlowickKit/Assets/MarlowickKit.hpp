#pragma once
// The library's namespace file: what identifies this build of MarlowickKit.

#include <string>

namespace marlowick {

// The library's own version, shared by the application and the helper.
inline constexpr const char* libraryVersion = MARLOWICK_VERSION;

// The Ventoy release this build installs: the version of the pinned built-in release.
[[nodiscard]] const std::string& ventoyVersion();

}  // namespace marlowick
