#pragma once
// The technical lines the application's runner (HelperClient/PrivilegedSubprocessEngineRunner)
// gives as the detail of couldNotOpenDevice when the helper program never ran. They live
// with the wire so that HelperCommandError can word them for the user without reaching up
// into the runner.

#include <string_view>

namespace marlowick::HelperLaunchDetail {

inline constexpr std::string_view encodingFailed = "could not encode command for the helper";
inline constexpr std::string_view launchFailedPrefix = "could not launch helper: ";
inline constexpr std::string_view noResult = "helper closed without returning a result";
inline constexpr std::string_view authorizationCancelled = "administrator authorization was cancelled";
inline constexpr std::string_view authorizationFailed = "administrator authorization failed (pkexec exit 127)";

}  // namespace marlowick::HelperLaunchDetail
