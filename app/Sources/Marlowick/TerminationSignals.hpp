#pragma once
// SIGTERM, SIGINT and SIGHUP, delivered to the event loop instead of ending the process:
// the handler only writes the signal's number into a pipe (the self-pipe), and a socket
// notifier on the pipe's other end emits received() on the main thread, where the work is
// done. One watcher per process; while it lives the three signals no longer kill it, and
// when it goes their former handlers are put back.

#include <QObject>
#include <QSocketNotifier>

namespace marlowick {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the handlers are in place (a pipe could be made).
    [[nodiscard]] bool isWatching() const { return notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier* notifier = nullptr;
};

}  // namespace marlowick
