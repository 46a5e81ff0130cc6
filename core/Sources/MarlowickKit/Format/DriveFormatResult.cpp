#include "Format/DriveFormatResult.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

}  // namespace

void PrintTo(const FormatReport& r, std::ostream* os) {
    CaseDescription described("completed");
    described.field("sectorCount", r.sectorCount)
        .field("partitionSectorCount", r.partitionSectorCount)
        .field("mbrWriteOk", r.mbrWriteOk)
        .field("mbrVerifyOk", r.mbrVerifyOk)
        .field("scrubOk", r.scrubOk)
        .field("formatOk", r.formatOk)
        .field("formatVerifyOk", r.formatVerifyOk)
        .field("clusterCount", r.clusterCount)
        .field("clusterSizeBytes", r.clusterSizeBytes)
        .field("flushOk", r.flushOk)
        .rawField("cancelledAtStage", r.cancelledAtStage ? rawValue(*r.cancelledAtStage) : std::string_view("none"));
    for (const std::string& note : r.notes) described.field("note", note);
    *os << described.str();
}

void PrintTo(const DriveFormatResult& result, std::ostream* os) {
    if (const auto* aborted = std::get_if<DriveFormatResult::Aborted>(&result.value)) {
        *os << CaseDescription("aborted").field("reason", aborted->reason).str();
        return;
    }
    PrintTo(std::get<DriveFormatResult::Completed>(result.value).report, os);
}

}  // namespace marlowick
