#pragma once
// How a plain-drive format ended: refused before anything was written, or run with a
// step-by-step report.

#include <ostream>
#include <string>
#include <variant>

#include "Block/DriveOperationResult.hpp"
#include "Format/FormatReport.hpp"

namespace marlowick {

// Aborted when the disk's size or sector size does not allow the layout, or the exFAT
// volume would be refused.
using DriveFormatResult = DriveOperationResult<FormatReport>;

// For test output: "aborted(reason: \"disk too small: 2048 < 2049 sectors\")", or the
// report's flags and notes.
void PrintTo(const FormatReport& report, std::ostream* os);
void PrintTo(const DriveFormatResult& result, std::ostream* os);

}  // namespace marlowick
