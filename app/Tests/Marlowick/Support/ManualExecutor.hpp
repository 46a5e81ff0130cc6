#pragma once
// A main executor that runs nothing until the test says so, so that every interleaving of a
// model's background results is one line of a test. Posting is thread-safe: real background
// threads may post while the test thread drains.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "Home/MainExecutor.hpp"

namespace marlowick::testing {

class ManualExecutor {
public:
    [[nodiscard]] MainExecutor executor();

    // Runs the oldest queued closure; false when none is queued.
    bool runOne();
    // Runs closures until the queue is empty, including those queued while running; returns
    // how many ran.
    std::size_t runAll();
    // Waits up to `timeout` for background work to post something, then runs everything
    // queued. For tests over real threads; returns how many ran.
    std::size_t runUntilIdle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // Runs queued work until `done()` holds or `timeout` passes; true when it holds.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(30000));
    [[nodiscard]] std::size_t pending() const;

private:
    mutable std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> queue;
};

}  // namespace marlowick::testing
