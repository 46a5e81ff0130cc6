#include "HelperWire/HelperResult.hpp"

#include <array>

namespace marlowick {
namespace {

using Result = HelperResult;

constexpr std::array<std::string_view, 6> resultCaseNames{"detected",     "detectReadFailed", "driveOperation",
                                                          "addImage",     "imageListing",     "failed"};
constexpr std::array<std::string_view, 2> frameCaseNames{"progress", "result"};

struct Encoder {
    nlohmann::json operator()(const Result::Detected& r) const {
        return writeJsonCase("detected", JsonObjectWriter().put("status", r.status).json());
    }
    nlohmann::json operator()(const Result::DetectReadFailed& r) const {
        return writeJsonCase("detectReadFailed", JsonObjectWriter().put("error", r.error).json());
    }
    nlohmann::json operator()(const Result::DriveOperation& r) const {
        return writeUnlabelledJsonCase("driveOperation", r.report);
    }
    nlohmann::json operator()(const Result::AddImage& r) const { return writeUnlabelledJsonCase("addImage", r.outcome); }
    nlohmann::json operator()(const Result::ImageListing& r) const {
        return writeUnlabelledJsonCase("imageListing", r.listing);
    }
    nlohmann::json operator()(const Result::Failed& r) const { return writeUnlabelledJsonCase("failed", r.error); }
};

Result::Case decodeResult(const JsonCase& found) {
    const JsonObjectReader& p = found.payload;
    if (found.name == "detected") return Result::Detected{p.required<HelperDriveStatus>("status")};
    if (found.name == "detectReadFailed") return Result::DetectReadFailed{p.required<HelperBlockError>("error")};
    if (found.name == "driveOperation") return Result::DriveOperation{p.required<HelperDriveOperationReport>("_0")};
    if (found.name == "addImage") return Result::AddImage{p.required<HelperAddImageOutcome>("_0")};
    if (found.name == "imageListing") return Result::ImageListing{p.required<HelperImageListing>("_0")};
    return Result::Failed{p.required<HelperCommandError>("_0")};
}

}  // namespace

void PrintTo(const HelperResult& result, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperResult>::encode(result)).value_or(result.diagnosticOutcome());
}

void PrintTo(const HelperWireFrame& frame, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperWireFrame>::encode(frame)).value_or("frame");
}

nlohmann::json JsonCoding<HelperResult>::encode(const HelperResult& result) {
    return std::visit(Encoder{}, result.value);
}

HelperResult JsonCoding<HelperResult>::decode(const nlohmann::json& json, const JsonPath& path) {
    return HelperResult{decodeResult(readJsonCase(json, path, resultCaseNames))};
}

nlohmann::json JsonCoding<HelperWireFrame>::encode(const HelperWireFrame& frame) {
    if (const auto* progress = std::get_if<HelperWireFrame::Progress>(&frame.value)) {
        return writeUnlabelledJsonCase("progress", progress->progress);
    }
    return writeUnlabelledJsonCase("result", std::get<HelperWireFrame::Result>(frame.value).result);
}

HelperWireFrame JsonCoding<HelperWireFrame>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonCase found = readJsonCase(json, path, frameCaseNames);
    if (found.name == "progress") return {HelperWireFrame::Progress{found.payload.required<HelperProgress>("_0")}};
    return {HelperWireFrame::Result{found.payload.required<HelperResult>("_0")}};
}

}  // namespace marlowick
