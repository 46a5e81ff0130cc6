#pragma once
// The sentence a user sees when copying an image onto the exFAT data partition failed.

#include <string>

#include "Exfat/ExfatWriteError.hpp"

namespace marlowick {

[[nodiscard]] std::string userMessage(const ExfatWriteError& error);

}  // namespace marlowick
