#pragma once
// The one textual form of an operating-system error number, shared by every layer
// that reports a failed system call: "errno 13 (Permission denied)".

#include <string>

namespace marlowick {

// The system's message alone: "Permission denied".
[[nodiscard]] std::string errnoMessage(int errorNumber);

// "errno " + the number + " (" + the system's message for it + ")".
[[nodiscard]] std::string errnoText(int errorNumber);

// errnoText of the calling thread's errno. Call it right after the failing call,
// before anything else can overwrite errno.
[[nodiscard]] std::string currentErrnoText();

}  // namespace marlowick
