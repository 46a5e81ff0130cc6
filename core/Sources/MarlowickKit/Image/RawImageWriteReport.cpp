#include "Image/RawImageWriteReport.hpp"

#include "Diagnostics/CaseDescription.hpp"

namespace marlowick {
namespace {

std::string flag(const std::optional<bool>& value) {
    if (!value) return "none";
    return *value ? "true" : "false";
}

}  // namespace

void PrintTo(const RawImageWriteResult& result, std::ostream* os) {
    if (const auto* aborted = std::get_if<RawImageWriteResult::Aborted>(&result.value)) {
        *os << CaseDescription("aborted").field("reason", aborted->reason).str();
        return;
    }
    const RawImageWriteReport& r = std::get<RawImageWriteResult::Completed>(result.value).report;
    CaseDescription described("completed");
    described.field("imageBytes", r.imageBytes)
        .field("sectorsWritten", r.sectorsWritten)
        .rawField("writeOk", flag(r.writeOk))
        .rawField("flushOk", flag(r.flushOk))
        .rawField("flushHonoured", flag(r.flushHonoured))
        .rawField("verifyOk", flag(r.verifyOk))
        .rawField("cancelledAtStage",
                  r.cancelledAtStage ? rawWriteStageRawValues.text(*r.cancelledAtStage) : std::string_view("none"));
    for (const std::string& note : r.notes) described.field("note", note);
    *os << described.str();
}

}  // namespace marlowick
