#pragma once
// An estimate of the seconds an operation has left, from the byte counts it reports and
// the times they arrive: an exponentially smoothed bytes-per-second rate, trusted only
// once enough samples have been folded in. A plain value: the caller supplies the clock.

#include <cstdint>
#include <optional>
#include <ostream>

namespace marlowick {

struct ThroughputEstimator {
    double smoothing = 0.25;          // weight of the newest sample, within 0.01 … 1
    int minimumSamples = 4;           // samples needed before an estimate, at least 1
    std::optional<std::int64_t> lastBytes;
    std::optional<double> lastTime;   // seconds
    std::optional<double> smoothedBytesPerSecond;
    int samples = 0;

    // Smoothing of 0.01 or less becomes 0.01, above 1 becomes 1; a minimum below 1 becomes 1.
    explicit ThroughputEstimator(double smoothing = 0.25, int minimumSamples = 4);

    // Folds in the rate since the previous report when the count grew and time advanced;
    // in every case the report becomes the reference for the next one.
    void record(std::int64_t bytes, double atSeconds);
    // Forgets the reports and the rate; smoothing and minimum stay.
    void reset();
    // None until `minimumSamples` samples exist, without a positive rate, without a total
    // of at least 1, or when less than one byte is left.
    [[nodiscard]] std::optional<double> secondsRemaining(std::int64_t currentBytes,
                                                         std::optional<std::int64_t> totalBytes) const;

    bool operator==(const ThroughputEstimator&) const = default;
};

void PrintTo(const ThroughputEstimator& estimator, std::ostream* os);

}  // namespace marlowick
