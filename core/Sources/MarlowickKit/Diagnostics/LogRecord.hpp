#pragma once
// What one log event hands to a sink: subsystem, category, level and the finished
// message, plus the sink interface itself. A sink decides where records go; the
// event functions of MarlowickLog decide what they say.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Text/RawValueTable.hpp"

namespace marlowick::MarlowickLog {

inline constexpr std::string_view subsystem = "com.quenmoorlabworks.marlowick";

enum class Category { lifecycle, picker, detect, operation, helper, assets, target };

inline constexpr RawValueTable<Category, 7> categoryRawValues{
    {"lifecycle", "picker", "detect", "operation", "helper", "assets", "target"}};

[[nodiscard]] constexpr std::string_view rawValue(Category category) { return categoryRawValues.text(category); }
// Exact and case-sensitive: "helper" is helper, "Helper" is no category.
[[nodiscard]] constexpr std::optional<Category> categoryFromRaw(std::string_view raw) {
    return categoryRawValues.parse(raw);
}

// `standard` is the log's default level, between info and error.
enum class Level { standard, info, error };

[[nodiscard]] std::string_view name(Level level);  // "default", "info", "error"

struct Record {
    std::string subsystem;
    Category category;
    Level level;
    std::string message;
    bool operator==(const Record&) const = default;
};

void PrintTo(const Record& record, std::ostream* os);

// Receives records from any thread; implementations do their own locking.
class Sink {
public:
    virtual ~Sink() = default;
    // Asked before a message is formatted; false skips the event entirely.
    [[nodiscard]] virtual bool isEnabled(Level level) const = 0;
    virtual void write(const Record& record) = 0;
};

}  // namespace marlowick::MarlowickLog
