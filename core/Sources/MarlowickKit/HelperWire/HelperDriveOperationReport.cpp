#include "HelperWire/HelperDriveOperationReport.hpp"

namespace marlowick {

HelperDriveOperationReport::HelperDriveOperationReport(Kind operation, bool ran, bool passed, bool cancelled,
                                                       std::vector<std::string> reportNotes,
                                                       std::optional<std::string> reason,
                                                       std::optional<RawWriteVerification> verification)
    : kind(operation),
      completed(ran),
      overallSuccess(passed),
      wasCancelled(cancelled),
      notes(std::move(reportNotes)),
      abortedReason(std::move(reason)),
      rawWriteVerification(verification) {}

HelperDriveOperationReport HelperDriveOperationReport::aborted(Kind kind, std::string reason) {
    HelperDriveOperationReport refused;
    refused.kind = kind;
    refused.abortedReason = std::move(reason);
    return refused;
}

HelperDriveOperationReport::HelperDriveOperationReport(Kind operation, const VentoyInstallResult& result)
    : HelperDriveOperationReport(fromResult(operation, result)) {}

HelperDriveOperationReport::HelperDriveOperationReport(const RawImageWriteResult& result)
    : HelperDriveOperationReport(fromResult(Kind::writeRawImage, result)) {
    if (const auto* run = std::get_if<RawImageWriteResult::Completed>(&result.value)) {
        rawWriteVerification = run->report.verification();
    }
}

void PrintTo(const HelperDriveOperationReport& report, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperDriveOperationReport>::encode(report)).value_or("report");
}

nlohmann::json JsonCoding<HelperDriveOperationReport>::encode(const HelperDriveOperationReport& report) {
    JsonObjectWriter writer;
    writer.putJson("kind", encodeRawValue(helperDriveOperationKindRawValues, report.kind))
        .put("completed", report.completed)
        .put("overallSuccess", report.overallSuccess)
        .put("wasCancelled", report.wasCancelled)
        .put("notes", report.notes)
        .putOptional("abortedReason", report.abortedReason);
    if (report.rawWriteVerification) {
        writer.putJson("rawWriteVerification", encodeRawValue(rawWriteVerificationRawValues, *report.rawWriteVerification));
    }
    return writer.json();
}

HelperDriveOperationReport JsonCoding<HelperDriveOperationReport>::decode(const nlohmann::json& json,
                                                                          const JsonPath& path) {
    const JsonObjectReader reader(json, path);
    std::optional<RawWriteVerification> verification;
    if (const nlohmann::json* value = reader.find("rawWriteVerification"); value != nullptr && !value->is_null()) {
        verification = decodeRawValue(rawWriteVerificationRawValues, *value, path.key("rawWriteVerification"));
    }
    return {reader.requiredRawValue("kind", helperDriveOperationKindRawValues),
            reader.required<bool>("completed"),
            reader.required<bool>("overallSuccess"),
            reader.required<bool>("wasCancelled"),
            reader.required<std::vector<std::string>>("notes"),
            reader.optional<std::string>("abortedReason"),
            verification};
}

}  // namespace marlowick
