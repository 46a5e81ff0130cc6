#include "TerminationSignals.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace marlowick {
namespace {

constexpr std::array<int, 3> watched{SIGTERM, SIGINT, SIGHUP};

// The pipe's ends, read by the handler; -1 while no watcher lives.
volatile sig_atomic_t writeEnd = -1;
int readEnd = -1;
std::array<struct sigaction, watched.size()> previous{};

// Async-signal-safe: one write, and errno left as the interrupted code had it. A full pipe
// loses nothing that matters: the bytes already in it say the same.
void onSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    if (writeEnd >= 0) (void)!::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (readEnd >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd = ends[0];
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < watched.size(); ++i) ::sigaction(watched[i], &action, &previous[i]);
    notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals() {
    if (notifier == nullptr) return;
    for (std::size_t i = 0; i < watched.size(); ++i) ::sigaction(watched[i], &previous[i], nullptr);
    const int end = writeEnd;
    writeEnd = -1;
    ::close(end);
    ::close(readEnd);
    readEnd = -1;
}

void TerminationSignals::drain() {
    unsigned char numbers[64];
    for (;;) {
        const ssize_t count = ::read(readEnd, numbers, sizeof numbers);
        if (count <= 0) return;
        for (ssize_t i = 0; i < count; ++i) emit received(numbers[i]);
    }
}

}  // namespace marlowick
