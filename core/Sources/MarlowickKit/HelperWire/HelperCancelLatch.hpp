#pragma once
// Carries a cancel request from the thread that sees it (the helper's stdin watcher, the
// user-interface thread) to the engine, which polls it between units of work. Once set it
// stays set; a fresh latch is made for each operation.

#include <mutex>

namespace marlowick {

class HelperCancelLatch {
public:
    HelperCancelLatch() = default;
    HelperCancelLatch(const HelperCancelLatch&) = delete;
    HelperCancelLatch& operator=(const HelperCancelLatch&) = delete;

    void cancel() {
        const std::lock_guard guard(lock);
        value = true;
    }
    [[nodiscard]] bool isCancelled() const {
        const std::lock_guard guard(lock);
        return value;
    }

private:
    mutable std::mutex lock;
    bool value = false;
};

}  // namespace marlowick
