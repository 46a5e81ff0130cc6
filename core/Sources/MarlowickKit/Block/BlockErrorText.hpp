#pragma once
// The texts of block-device failures: one plain sentence for the user (what happened,
// whether the drive was changed, what to do next) and one terse line for logs and the
// diagnostic report. Pure functions of the value; no localisation.

#include <string>

#include "Block/BlockError.hpp"

namespace marlowick {

[[nodiscard]] std::string userMessage(const BlockError& error);

// "out of bounds: 64 sector(s) at 62521300 on a 62521344-sector device"
[[nodiscard]] std::string diagnosticDescription(const BlockError& error);

}  // namespace marlowick
