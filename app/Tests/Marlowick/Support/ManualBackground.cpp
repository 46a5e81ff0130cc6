#include "Support/ManualBackground.hpp"

#include <utility>

namespace marlowick::testing {

BackgroundStarter ManualBackground::starter() {
    return [this](std::function<void()> job) {
        const std::lock_guard lock(mutex);
        queue.push_back(std::move(job));
    };
}

std::function<void()> ManualBackground::take(bool newest) {
    const std::lock_guard lock(mutex);
    if (queue.empty()) return {};
    std::function<void()> job;
    if (newest) {
        job = std::move(queue.back());
        queue.pop_back();
    } else {
        job = std::move(queue.front());
        queue.pop_front();
    }
    return job;
}

bool ManualBackground::runOne() {
    std::function<void()> job = take(false);
    if (!job) return false;
    job();
    return true;
}

bool ManualBackground::runNewest() {
    std::function<void()> job = take(true);
    if (!job) return false;
    job();
    return true;
}

std::size_t ManualBackground::runAll() {
    std::size_t ran = 0;
    while (runOne()) ++ran;
    return ran;
}

std::size_t ManualBackground::pending() const {
    const std::lock_guard lock(mutex);
    return queue.size();
}

}  // namespace marlowick::testing
