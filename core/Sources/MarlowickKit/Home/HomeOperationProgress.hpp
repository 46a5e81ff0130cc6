#pragma once
// How far a running operation has got, as the progress screen shows it: the overall
// fraction, the current step, an optional second line and an optional estimate of the
// seconds left. The fraction always lies within 0 … 1.

#include <optional>
#include <ostream>
#include <string>

namespace marlowick {

struct HomeOperationProgress {
    double fraction = 0;
    std::string stageLabel;
    std::optional<std::string> detail;      // such as the name of the file being written
    std::optional<double> etaSeconds;       // estimated seconds remaining

    HomeOperationProgress() = default;
    // A fraction of 0 or less (or not a number) is stored as 0, one above 1 as 1.
    HomeOperationProgress(double fraction, std::string stageLabel, std::optional<std::string> detail = std::nullopt,
                          std::optional<double> etaSeconds = std::nullopt);

    bool operator==(const HomeOperationProgress&) const = default;
};

void PrintTo(const HomeOperationProgress& progress, std::ostream* os);

}  // namespace marlowick
