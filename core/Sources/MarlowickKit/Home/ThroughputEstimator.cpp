#include "Home/ThroughputEstimator.hpp"

namespace marlowick {
namespace {

double clampedSmoothing(double smoothing) {
    if (!(smoothing > 0.01)) return 0.01;
    return smoothing > 1 ? 1 : smoothing;
}

// total − current without wrapping: counts of opposite signs could overflow 64 bits.
std::optional<std::int64_t> difference(std::int64_t later, std::int64_t earlier) {
    std::int64_t delta = 0;
    if (__builtin_sub_overflow(later, earlier, &delta)) return std::nullopt;
    return delta;
}

}  // namespace

ThroughputEstimator::ThroughputEstimator(double smoothingWeight, int minimum)
    : smoothing(clampedSmoothing(smoothingWeight)), minimumSamples(minimum < 1 ? 1 : minimum) {}

void ThroughputEstimator::record(std::int64_t bytes, double atSeconds) {
    if (lastBytes && lastTime) {
        const auto delta = difference(bytes, *lastBytes);
        const double elapsed = atSeconds - *lastTime;
        if (delta && *delta >= 1 && elapsed > 0) {
            const double sample = static_cast<double>(*delta) / elapsed;
            smoothedBytesPerSecond =
                smoothedBytesPerSecond ? *smoothedBytesPerSecond + smoothing * (sample - *smoothedBytesPerSecond)
                                       : sample;
            ++samples;
        }
    }
    lastBytes = bytes;
    lastTime = atSeconds;
}

void ThroughputEstimator::reset() {
    lastBytes.reset();
    lastTime.reset();
    smoothedBytesPerSecond.reset();
    samples = 0;
}

std::optional<double> ThroughputEstimator::secondsRemaining(std::int64_t currentBytes,
                                                            std::optional<std::int64_t> totalBytes) const {
    if (samples < minimumSamples || !smoothedBytesPerSecond || !(*smoothedBytesPerSecond > 0)) return std::nullopt;
    if (!totalBytes || *totalBytes < 1) return std::nullopt;
    const auto left = difference(*totalBytes, currentBytes);
    if (!left || *left < 1) return std::nullopt;
    return static_cast<double>(*left) / *smoothedBytesPerSecond;
}

void PrintTo(const ThroughputEstimator& estimator, std::ostream* os) {
    *os << "throughput(smoothing: " << estimator.smoothing << ", minimumSamples: " << estimator.minimumSamples
        << ", samples: " << estimator.samples;
    if (estimator.smoothedBytesPerSecond) *os << ", bytesPerSecond: " << *estimator.smoothedBytesPerSecond;
    *os << ")";
}

}  // namespace marlowick
