#include "Home/HomeOperationProgress.hpp"

#include <cmath>

namespace marlowick {
namespace {

double clampedFraction(double fraction) {
    // Written so that NaN, which fails every comparison, lands on 0 as well.
    if (!(fraction > 0)) return 0;
    return fraction > 1 ? 1 : fraction;
}

}  // namespace

HomeOperationProgress::HomeOperationProgress(double value, std::string stage, std::optional<std::string> secondLine,
                                             std::optional<double> seconds)
    : fraction(clampedFraction(value)),
      stageLabel(std::move(stage)),
      detail(std::move(secondLine)),
      etaSeconds(seconds) {}

void PrintTo(const HomeOperationProgress& progress, std::ostream* os) {
    *os << "progress(fraction: " << progress.fraction << ", stageLabel: \"" << progress.stageLabel << "\"";
    if (progress.detail) *os << ", detail: \"" << *progress.detail << "\"";
    if (progress.etaSeconds) *os << ", etaSeconds: " << *progress.etaSeconds;
    *os << ")";
}

}  // namespace marlowick
