#include "HelperClient/HelperProcess.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <utility>

#include "PipedSpawn.h"
#include "HelperWire/HelperLineWriter.hpp"

namespace marlowick {
namespace {

// Blocks SIGPIPE on the calling thread while it lives. A write to a pipe whose reader has
// gone raises SIGPIPE at the writing thread; blocked, it stays pending and the write fails
// with EPIPE. The destructor takes a SIGPIPE that became pending meanwhile, so that it is
// not delivered when the mask is restored, then restores the mask.
class ScopedSigpipeBlock {
public:
    ScopedSigpipeBlock() {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    }
    ~ScopedSigpipeBlock() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
            const timespec now{};
            while (sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    ScopedSigpipeBlock(const ScopedSigpipeBlock&) = delete;
    ScopedSigpipeBlock& operator=(const ScopedSigpipeBlock&) = delete;

private:
    sigset_t previous{};
    bool wasPending = false;
};

void closeOnce(int& fd) {
    if (fd < 0) return;
    ::close(fd);
    fd = -1;
}

}  // namespace

std::variant<HelperProcess, int> HelperProcess::launch(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return EINVAL;
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    mw_piped_child child{};
    if (const int error = mw_spawn_piped(argv[0], argv.data(), &child); error != 0) return error;
    return HelperProcess(child.pid, child.input, child.output);
}

HelperProcess::HelperProcess(HelperProcess&& other) noexcept
    : pid(std::exchange(other.pid, -1)),
      input(std::exchange(other.input, -1)),
      output(std::exchange(other.output, -1)),
      reaped(std::exchange(other.reaped, true)),
      status(other.status) {}

HelperProcess::~HelperProcess() {
    if (pid > 0) (void)wait();
}

bool HelperProcess::writeLine(std::string_view line) {
    if (input < 0) return false;
    const ScopedSigpipeBlock noSigpipe;
    return writeHelperLine(input, line);
}

HelperProcess::LineDelivery HelperProcess::tryWriteLine(std::string_view line) {
    if (input < 0) return LineDelivery::failed;
    const int flags = ::fcntl(input, F_GETFL);
    if (flags < 0 || ((flags & O_NONBLOCK) == 0 && ::fcntl(input, F_SETFL, flags | O_NONBLOCK) != 0)) {
        return LineDelivery::failed;
    }
    std::string framed(line);
    framed.push_back('\n');
    const ScopedSigpipeBlock noSigpipe;
    for (;;) {
        const ssize_t put = ::write(input, framed.data(), framed.size());
        if (put == static_cast<ssize_t>(framed.size())) return LineDelivery::written;
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return LineDelivery::wouldBlock;
        // EPIPE, or a partial write of a line longer than PIPE_BUF: the line cannot be completed.
        return LineDelivery::failed;
    }
}

void HelperProcess::closeInput() { closeOnce(input); }

void HelperProcess::closeOutput() { closeOnce(output); }

int HelperProcess::wait() {
    closeInput();
    closeOutput();
    if (!reaped) {
        int waitStatus = 0;
        if (mw_wait_child(pid, &waitStatus) == 0) status = waitStatus;
        // ECHILD: someone else reaped it (a SIGCHLD set to SIG_IGN); nothing is left to wait for.
        reaped = true;
    }
    return status;
}

}  // namespace marlowick
