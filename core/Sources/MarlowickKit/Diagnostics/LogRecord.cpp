#include "Diagnostics/LogRecord.hpp"

namespace marlowick::MarlowickLog {

std::string_view name(Level level) {
    switch (level) {
    case Level::standard: return "default";
    case Level::info: return "info";
    case Level::error: return "error";
    }
    return "default";
}

void PrintTo(const Record& record, std::ostream* os) {
    *os << record.subsystem << " [" << rawValue(record.category) << "] " << name(record.level) << ": "
        << record.message;
}

}  // namespace marlowick::MarlowickLog
