#pragma once
// The two log sinks: the system log (the default) and an in-memory list for tests.
// Neither ever writes to standard output or standard error.

#include <array>
#include <mutex>
#include <vector>

#include "Diagnostics/LogRecord.hpp"

namespace marlowick::MarlowickLog {

// syslog with ident "marlowick" and facility LOG_USER; default → LOG_NOTICE,
// info → LOG_INFO, error → LOG_ERR. Each line reads "[category] message".
class SyslogSink final : public Sink {
public:
    SyslogSink();
    [[nodiscard]] bool isEnabled(Level level) const override;
    void write(const Record& record) override;

    [[nodiscard]] static int priority(Level level);
};

// Keeps every record in order; every level enabled unless a test switches one off.
class MemorySink final : public Sink {
public:
    [[nodiscard]] bool isEnabled(Level level) const override;
    void write(const Record& record) override;

    void setEnabled(Level level, bool enabled);
    [[nodiscard]] std::vector<Record> records() const;
    void clear();

private:
    mutable std::mutex lock;
    std::vector<Record> kept;
    std::array<bool, 3> enabled{true, true, true};
};

}  // namespace marlowick::MarlowickLog
