#pragma once
// A drive's size as the home screen and its sheets write it, by the library's one
// byte-count formatter, so a drive shows one size text everywhere.

#include <cstdint>
#include <string>

namespace marlowick {

// "Unknown size" when the size is not known (< 0).
[[nodiscard]] std::string driveSizeText(std::int64_t capacityBytes);

}  // namespace marlowick
