#include "Block/BlockDevice.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {

std::string render(const BlockFlushResult& result) {
    if (const auto* notHonoured = std::get_if<BlockFlushNotHonoured>(&result)) {
        return CaseDescription("notHonoured").field("detail", notHonoured->detail).str();
    }
    if (const auto* error = std::get_if<BlockError>(&result)) {
        return CaseDescription("failure").rawField("error", render(*error)).str();
    }
    return "success";
}

void PrintTo(const BlockReadSuccess& value, std::ostream* os) {
    *os << "success(data: " << value.data.size() << " bytes)";
}
void PrintTo(const BlockWriteSuccess& value, std::ostream* os) {
    *os << "success(sectorsWritten: " << value.sectorsWritten << ")";
}
void PrintTo(const BlockFlushNotHonoured& value, std::ostream* os) {
    *os << CaseDescription("notHonoured").field("detail", value.detail).str();
}
void PrintTo(const BlockFlushSuccess&, std::ostream* os) { *os << "success"; }

}  // namespace marlowick
