#include "Format/DriveFormatResult.hpp"

#include "Diagnostics/CaseDescription.hpp"

namespace marlowick {
namespace {

std::string flag(const std::optional<bool>& value) {
    if (!value) return "none";
    return *value ? "true" : "false";
}

std::string number(const std::optional<std::int64_t>& value) { return value ? std::to_string(*value) : "none"; }

}  // namespace

void PrintTo(const FormatReport& r, std::ostream* os) {
    CaseDescription described("completed");
    described.field("sectorCount", r.sectorCount)
        .field("partitionSectorCount", r.partitionSectorCount)
        .rawField("mbrWriteOk", flag(r.mbrWriteOk))
        .rawField("mbrVerifyOk", flag(r.mbrVerifyOk))
        .rawField("scrubOk", flag(r.scrubOk))
        .rawField("formatOk", flag(r.formatOk))
        .rawField("formatVerifyOk", flag(r.formatVerifyOk))
        .rawField("clusterCount", number(r.clusterCount))
        .rawField("clusterSizeBytes", number(r.clusterSizeBytes))
        .rawField("flushOk", flag(r.flushOk))
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
