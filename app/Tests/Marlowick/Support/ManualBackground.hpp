#pragma once
// A background starter that runs nothing until the test says so: each job waits in a queue
// and runs on the test's own thread when asked, so a model's engine calls and listings
// finish exactly when and in the order the test chooses.

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "Home/BackgroundStarter.hpp"

namespace marlowick::testing {

class ManualBackground {
public:
    [[nodiscard]] BackgroundStarter starter();

    // Runs the oldest queued job; false when none is queued.
    bool runOne();
    // Runs the newest queued job, overtaking the ones queued before it.
    bool runNewest();
    std::size_t runAll();
    [[nodiscard]] std::size_t pending() const;

private:
    [[nodiscard]] std::function<void()> take(bool newest);

    mutable std::mutex mutex;
    std::deque<std::function<void()>> queue;
};

}  // namespace marlowick::testing
