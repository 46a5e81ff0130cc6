#include "Support/ManualExecutor.hpp"

#include <utility>

namespace marlowick::testing {

MainExecutor ManualExecutor::executor() {
    return [this](std::function<void()> work) {
        // Notified under the lock: once a waiter sees the closure it may finish the test and
        // destroy this executor, which must not happen while the poster still touches it.
        const std::lock_guard lock(mutex);
        queue.push_back(std::move(work));
        posted.notify_all();
    };
}

bool ManualExecutor::runOne() {
    std::function<void()> work;
    {
        const std::lock_guard lock(mutex);
        if (queue.empty()) return false;
        work = std::move(queue.front());
        queue.pop_front();
    }
    work();
    return true;
}

std::size_t ManualExecutor::runAll() {
    std::size_t ran = 0;
    while (runOne()) ++ran;
    return ran;
}

std::size_t ManualExecutor::runUntilIdle(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex);
        posted.wait_for(lock, timeout, [this] { return !queue.empty(); });
    }
    return runAll();
}

bool ManualExecutor::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (runOne()) continue;
        std::unique_lock lock(mutex);
        if (!posted.wait_until(lock, deadline, [this] { return !queue.empty(); })) return done();
    }
    return true;
}

std::size_t ManualExecutor::pending() const {
    const std::lock_guard lock(mutex);
    return queue.size();
}

}  // namespace marlowick::testing
