#include "Diagnostics/LogSinks.hpp"

#include <syslog.h>

namespace marlowick::MarlowickLog {

SyslogSink::SyslogSink() {
    // No LOG_CONS or LOG_PERROR: when syslog is unreachable the line is lost rather
    // than printed where the helper's wire or a terminal would catch it.
    static std::once_flag opened;
    std::call_once(opened, [] { ::openlog("marlowick", LOG_PID, LOG_USER); });
}

int SyslogSink::priority(Level level) {
    switch (level) {
    case Level::standard: return LOG_NOTICE;
    case Level::info: return LOG_INFO;
    case Level::error: return LOG_ERR;
    }
    return LOG_NOTICE;
}

bool SyslogSink::isEnabled(Level level) const {
    // setlogmask(0) reads the mask without changing it.
    return (::setlogmask(0) & LOG_MASK(priority(level))) != 0;
}

void SyslogSink::write(const Record& record) {
    const std::string category(rawValue(record.category));
    ::syslog(priority(record.level), "[%s] %s", category.c_str(), record.message.c_str());
}

bool MemorySink::isEnabled(Level level) const {
    const std::lock_guard guard(lock);
    return enabled.at(static_cast<std::size_t>(level));
}

void MemorySink::write(const Record& record) {
    const std::lock_guard guard(lock);
    kept.push_back(record);
}

void MemorySink::setEnabled(Level level, bool isOn) {
    const std::lock_guard guard(lock);
    enabled.at(static_cast<std::size_t>(level)) = isOn;
}

std::vector<Record> MemorySink::records() const {
    const std::lock_guard guard(lock);
    return kept;
}

void MemorySink::clear() {
    const std::lock_guard guard(lock);
    kept.clear();
}

}  // namespace marlowick::MarlowickLog
