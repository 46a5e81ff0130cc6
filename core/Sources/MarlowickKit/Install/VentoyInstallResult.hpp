#pragma once
// The outcome of a Ventoy install or update: a run that passed the checks made before
// writing (successful, failed part-way or cancelled, as its report says), or one refused
// before a single sector was written, with a one-line reason.

#include <ostream>
#include <string>
#include <variant>

#include "Block/DriveOperationResult.hpp"
#include "Install/VentoyInstallReport.hpp"

namespace marlowick {

using VentoyInstallResult = DriveOperationResult<VentoyInstallReport>;

// "completed(report: VentoyInstallReport(...))", "aborted(reason: \"core.img is 2048 sectors, ...\")"
[[nodiscard]] std::string render(const VentoyInstallResult& result);
void PrintTo(const VentoyInstallResult& result, std::ostream* os);

}  // namespace marlowick
