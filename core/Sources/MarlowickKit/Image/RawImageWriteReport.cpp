#include "Image/RawImageWriteReport.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

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
        .field("writeOk", r.writeOk)
        .field("flushOk", r.flushOk)
        .field("flushHonoured", r.flushHonoured)
        .field("verifyOk", r.verifyOk)
        .rawField("cancelledAtStage",
                  r.cancelledAtStage ? rawWriteStageRawValues.text(*r.cancelledAtStage) : std::string_view("none"));
    for (const std::string& note : r.notes) described.field("note", note);
    *os << described.str();
}

}  // namespace marlowick
