#include "Text/ErrnoText.hpp"

#include <array>
#include <cerrno>
#include <cstring>

namespace marlowick {
namespace {

// strerror_r comes in two shapes: GNU returns the message, XSI fills the buffer and
// returns a status. Overloads pick the right reading without preprocessor tests.
[[maybe_unused]] const char* messageFrom(const char* gnuResult, const char*) { return gnuResult; }
[[maybe_unused]] const char* messageFrom(int xsiResult, const char* buffer) {
    return xsiResult == 0 ? buffer : "Unknown error";
}

}  // namespace

std::string errnoMessage(int errorNumber) {
    std::array<char, 256> buffer{};
    return messageFrom(::strerror_r(errorNumber, buffer.data(), buffer.size()), buffer.data());
}

std::string errnoText(int errorNumber) {
    return "errno " + std::to_string(errorNumber) + " (" + errnoMessage(errorNumber) + ")";
}

std::string currentErrnoText() { return errnoText(errno); }

}  // namespace marlowick
