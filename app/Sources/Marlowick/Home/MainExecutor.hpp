#pragma once
// How the application's models reach their own thread. A model owns state that only the
// main thread touches; work it starts elsewhere (an engine call, a download, a file listing)
// hands its result back by posting a closure through the executor it was given. The Qt
// application passes one that queues onto its event loop; tests pass a manual one and run
// the queue when they want the next step.

#include <functional>

namespace marlowick {

// Queues `work` to run later on the main thread. Safe to call from any thread; never runs
// `work` before returning.
using MainExecutor = std::function<void(std::function<void()> work)>;

}  // namespace marlowick
