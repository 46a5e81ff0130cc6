#pragma once
// The outcome of prepare, update, removeVentoy and writeRawImage, flattened from the
// engine's own result: whether the stages ran, whether all passed, whether the user
// cancelled, the notes, and why a run was refused before writing.
//   {"kind":"prepare","completed":false,"overallSuccess":false,"wasCancelled":false,"notes":[],"abortedReason":"…"}

#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "Text/RawValueTable.hpp"
#include "Block/DriveOperationReport.hpp"
#include "HelperWire/JsonCoding.hpp"
#include "Image/RawImageWriteReport.hpp"
#include "Install/VentoyInstallResult.hpp"

namespace marlowick {

struct HelperDriveOperationReport {
    enum class Kind { prepare, update, removeVentoy, writeRawImage };

    Kind kind = Kind::prepare;
    bool completed = false;
    bool overallSuccess = false;
    bool wasCancelled = false;
    std::vector<std::string> notes;
    std::optional<std::string> abortedReason;
    std::optional<RawWriteVerification> rawWriteVerification;  // raw image writes only

    // A run refused before any stage: nothing passed, nothing cancelled, no notes.
    [[nodiscard]] static HelperDriveOperationReport aborted(Kind kind, std::string reason);
    // A run whose stages ran: the report's own verdicts and notes.
    template <DriveOperationReport Report>
    [[nodiscard]] static HelperDriveOperationReport completedRun(Kind kind, const Report& report) {
        HelperDriveOperationReport flattened;
        flattened.kind = kind;
        flattened.completed = true;
        flattened.overallSuccess = report.overallSuccess();
        flattened.wasCancelled = report.wasCancelled();
        flattened.notes = report.notes;
        return flattened;
    }
    // Any engine result made of a completed report or an aborted reason (install, update,
    // format). Raw image writes have their own constructor, which adds the verification.
    template <class Result>
    [[nodiscard]] static HelperDriveOperationReport fromResult(Kind kind, const Result& result) {
        if (const auto* aborted = std::get_if<typename Result::Aborted>(&result.value)) {
            return HelperDriveOperationReport::aborted(kind, aborted->reason);
        }
        return completedRun(kind, std::get<typename Result::Completed>(result.value).report);
    }

    HelperDriveOperationReport() = default;
    HelperDriveOperationReport(Kind kind, bool completed, bool overallSuccess, bool wasCancelled,
                               std::vector<std::string> notes, std::optional<std::string> abortedReason,
                               std::optional<RawWriteVerification> rawWriteVerification);
    // prepare or update
    HelperDriveOperationReport(Kind kind, const VentoyInstallResult& result);
    // writeRawImage, with how far a passed read-back can be trusted
    explicit HelperDriveOperationReport(const RawImageWriteResult& result);

    bool operator==(const HelperDriveOperationReport&) const = default;
};

inline constexpr RawValueTable<HelperDriveOperationReport::Kind, 4> helperDriveOperationKindRawValues{
    {"prepare", "update", "removeVentoy", "writeRawImage"}};

void PrintTo(const HelperDriveOperationReport& report, std::ostream* os);

template <>
struct JsonCoding<HelperDriveOperationReport> {
    static nlohmann::json encode(const HelperDriveOperationReport& report);
    static HelperDriveOperationReport decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
