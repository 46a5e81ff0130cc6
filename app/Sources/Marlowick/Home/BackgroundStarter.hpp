#pragma once
// How a model sends blocking work (an engine command, a file listing, a boot-file
// acquisition) off the main thread. The application starts a thread of its own per job: a
// fixed pool could starve while a mount waits out its time-out. Tests pass a queue they run
// by hand, so that every interleaving of results is a line of the test.

#include <functional>
#include <system_error>
#include <thread>

namespace marlowick {

// Runs `job` away from the caller's thread. May throw std::system_error when no thread can
// be had; the job has then not run.
using BackgroundStarter = std::function<void(std::function<void()> job)>;

// One detached thread per job.
[[nodiscard]] inline BackgroundStarter threadPerJob() {
    return [](std::function<void()> job) { std::thread(std::move(job)).detach(); };
}

}  // namespace marlowick
