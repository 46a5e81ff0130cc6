#pragma once
// The common read-only face of the drive-operation reports (format, Ventoy install,
// raw image write): whether every step succeeded, whether a cancellation stopped the
// run, and the notes in the order they arose.

#include <concepts>
#include <string>
#include <vector>

namespace marlowick {

template <class Report>
concept DriveOperationReport = requires(const Report& report) {
    { report.overallSuccess() } -> std::convertible_to<bool>;
    { report.wasCancelled() } -> std::convertible_to<bool>;
    { report.notes } -> std::convertible_to<std::vector<std::string>>;
};

}  // namespace marlowick
