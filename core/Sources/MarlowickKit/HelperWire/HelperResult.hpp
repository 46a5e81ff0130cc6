#pragma once
// The one result every command ends in, and the frames the helper writes to the
// application: any number of progress frames, then exactly one result frame.
//   {"progress":{"_0":{"stage":"flush"}}}
//   {"result":{"_0":{"failed":{"_0":{"malformedCommand":{"detail":"…"}}}}}}

#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "HelperWire/HelperBlockError.hpp"
#include "HelperWire/HelperCommandError.hpp"
#include "HelperWire/HelperDriveOperationReport.hpp"
#include "HelperWire/HelperDriveStatus.hpp"
#include "HelperWire/HelperImagePayloads.hpp"
#include "HelperWire/HelperProgress.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

struct HelperResult {
    struct Detected {
        HelperDriveStatus status;
        bool operator==(const Detected&) const = default;
    };
    struct DetectReadFailed {
        HelperBlockError error;
        bool operator==(const DetectReadFailed&) const = default;
    };
    // prepare, update, removeVentoy, writeRawImage
    struct DriveOperation {
        HelperDriveOperationReport report;
        bool operator==(const DriveOperation&) const = default;
    };
    // Made by the application only; the helper refuses addImage.
    struct AddImage {
        HelperAddImageOutcome outcome;
        bool operator==(const AddImage&) const = default;
    };
    struct ImageListing {
        HelperImageListing listing;
        bool operator==(const ImageListing&) const = default;
    };
    struct Failed {
        HelperCommandError error;
        bool operator==(const Failed&) const = default;
    };
    using Case = std::variant<Detected, DetectReadFailed, DriveOperation, AddImage, ImageListing, Failed>;

    Case value;

    [[nodiscard]] static HelperResult failed(HelperCommandError::Case error) {
        return {Failed{HelperCommandError{std::move(error)}}};
    }

    // One word: "detected", "unreadable", "succeeded", "failed" or "refused".
    [[nodiscard]] std::string diagnosticOutcome() const;
    // The technical lines that explain the outcome, possibly none.
    [[nodiscard]] std::vector<std::string> diagnosticDetails() const;

    bool operator==(const HelperResult&) const = default;
};

struct HelperWireFrame {
    struct Progress {
        HelperProgress progress;
        bool operator==(const Progress&) const = default;
    };
    struct Result {
        HelperResult result;
        bool operator==(const Result&) const = default;
    };
    using Case = std::variant<Progress, Result>;

    Case value;
    bool operator==(const HelperWireFrame&) const = default;
};

void PrintTo(const HelperResult& result, std::ostream* os);
void PrintTo(const HelperWireFrame& frame, std::ostream* os);

template <>
struct JsonCoding<HelperResult> {
    static nlohmann::json encode(const HelperResult& result);
    static HelperResult decode(const nlohmann::json& json, const JsonPath& path);
};

template <>
struct JsonCoding<HelperWireFrame> {
    static nlohmann::json encode(const HelperWireFrame& frame);
    static HelperWireFrame decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
