#include "Block/DiskUnmounter.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {

std::string render(const DiskUnmountResult& result) {
    if (const auto* refused = std::get_if<DiskUnmountRefused>(&result)) {
        return CaseDescription("refused").field("detail", refused->detail).str();
    }
    std::string list = "[";
    for (const auto& point : std::get<DiskUnmounted>(result).mountPoints) {
        if (list.size() > 1) list += ", ";
        list += CaseDescription::quoted(point);
    }
    return CaseDescription("unmounted").rawField("mountPoints", list + "]").str();
}

void PrintTo(const DiskUnmounted& result, std::ostream* os) { *os << render(result); }

void PrintTo(const DiskUnmountRefused& result, std::ostream* os) { *os << render(result); }

}  // namespace marlowick
