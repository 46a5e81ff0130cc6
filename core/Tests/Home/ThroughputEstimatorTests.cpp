#include "Home/ThroughputEstimator.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace marlowick {
namespace {

// A scripted clock: reports of `step` bytes every `interval` seconds.
struct ScriptedRun {
    ThroughputEstimator estimator;
    std::int64_t bytes = 0;
    double now = 100;  // an arbitrary epoch: only differences count

    void report(std::int64_t step, double interval) {
        bytes += step;
        now += interval;
        estimator.record(bytes, now);
    }
};

TEST(ThroughputEstimator, ClampsItsSettings) {
    struct Row {
        double smoothing;
        int minimum;
        double heldSmoothing;
        int heldMinimum;
    };
    const Row rows[] = {{0.25, 4, 0.25, 4}, {0.01, 1, 0.01, 1}, {0.0, 0, 0.01, 1}, {-3, -5, 0.01, 1},
                        {1.5, 9, 1, 9},     {std::numeric_limits<double>::quiet_NaN(), 2, 0.01, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.smoothing);
        const ThroughputEstimator estimator(row.smoothing, row.minimum);
        EXPECT_EQ(estimator.smoothing, row.heldSmoothing);
        EXPECT_EQ(estimator.minimumSamples, row.heldMinimum);
        EXPECT_EQ(estimator.samples, 0);
        EXPECT_FALSE(estimator.lastBytes || estimator.lastTime || estimator.smoothedBytesPerSecond);
    }
}

TEST(ThroughputEstimator, TheFifthGrowingReportGivesTheFirstEstimate) {
    ScriptedRun run{ThroughputEstimator(0.25, 4)};
    for (int report = 1; report <= 4; ++report) {
        run.report(1'000'000, 1.0);
        EXPECT_EQ(run.estimator.secondsRemaining(run.bytes, 100'000'000), std::nullopt) << "report " << report;
    }
    run.report(1'000'000, 1.0);
    EXPECT_EQ(run.estimator.samples, 4);
    ASSERT_TRUE(run.estimator.secondsRemaining(run.bytes, 100'000'000));
    EXPECT_DOUBLE_EQ(*run.estimator.secondsRemaining(run.bytes, 100'000'000), 95.0);
}

TEST(ThroughputEstimator, SmoothsTowardsTheNewestSample) {
    ScriptedRun run{ThroughputEstimator(0.25, 1)};
    run.report(0, 0);           // reference only
    run.report(1'000, 1.0);     // 1000 B/s: the first sample is the rate
    EXPECT_DOUBLE_EQ(*run.estimator.smoothedBytesPerSecond, 1'000);
    run.report(5'000, 1.0);     // 5000 B/s: 1000 + 0.25 × 4000
    EXPECT_DOUBLE_EQ(*run.estimator.smoothedBytesPerSecond, 2'000);
    run.report(1'000, 0.5);     // 2000 B/s: unchanged
    EXPECT_DOUBLE_EQ(*run.estimator.smoothedBytesPerSecond, 2'000);
    EXPECT_DOUBLE_EQ(*run.estimator.secondsRemaining(7'000, 11'000), 2.0);
}

TEST(ThroughputEstimator, WithFullSmoothingTheRateIsTheLatestSample) {
    ScriptedRun run{ThroughputEstimator(1, 1)};
    run.report(0, 0);
    run.report(4'000, 2.0);
    run.report(9'000, 1.0);
    EXPECT_DOUBLE_EQ(*run.estimator.smoothedBytesPerSecond, 9'000);
}

TEST(ThroughputEstimator, StalledOrSimultaneousReportsOnlyMoveTheReference) {
    ScriptedRun run{ThroughputEstimator(0.5, 1)};
    run.report(0, 0);
    run.report(1'000, 1.0);
    const auto rate = run.estimator.smoothedBytesPerSecond;
    run.report(0, 1.0);        // no growth
    run.report(500, 0.0);      // same instant
    run.report(-200, 1.0);     // a count that went back
    run.report(1'000, -1.0);   // a clock that went back
    EXPECT_EQ(run.estimator.smoothedBytesPerSecond, rate);
    EXPECT_EQ(run.estimator.samples, 1);
    EXPECT_EQ(run.estimator.lastBytes, run.bytes);
    EXPECT_EQ(run.estimator.lastTime, run.now);
}

TEST(ThroughputEstimator, NoEstimateWithoutSomethingLeftToMeasure) {
    ScriptedRun run{ThroughputEstimator(0.25, 1)};
    run.report(0, 0);
    run.report(1'000, 1.0);
    EXPECT_EQ(run.estimator.secondsRemaining(1'000, 1'000), std::nullopt) << "current equals total";
    EXPECT_EQ(run.estimator.secondsRemaining(2'000, 1'000), std::nullopt) << "current beyond total";
    EXPECT_EQ(run.estimator.secondsRemaining(0, std::nullopt), std::nullopt) << "no total";
    EXPECT_EQ(run.estimator.secondsRemaining(0, 0), std::nullopt) << "empty total";
    EXPECT_EQ(run.estimator.secondsRemaining(-1, -1), std::nullopt) << "unknown total";
    EXPECT_EQ(run.estimator.secondsRemaining(std::numeric_limits<std::int64_t>::min(),
                                             std::numeric_limits<std::int64_t>::max()),
              std::nullopt)
        << "a difference beyond 64 bits is not wrapped into a small one";
    EXPECT_DOUBLE_EQ(*run.estimator.secondsRemaining(0, 3'000), 3.0);
}

TEST(ThroughputEstimator, ResetForgetsEverythingButItsSettings) {
    ScriptedRun run{ThroughputEstimator(0.5, 2)};
    run.report(0, 0);
    run.report(1'000, 1.0);
    run.report(1'000, 1.0);
    ASSERT_TRUE(run.estimator.secondsRemaining(0, 10'000));
    run.estimator.reset();
    EXPECT_EQ(run.estimator, ThroughputEstimator(0.5, 2));
    run.report(1'000, 1.0);  // the first report after a reset gives no sample
    EXPECT_EQ(run.estimator.samples, 0);
}

}  // namespace
}  // namespace marlowick
