#include "HelperWire/HelperCommandError.hpp"

#include <array>

#include "HelperWire/HelperLaunchDetail.hpp"
#include "Text/PlatformWording.hpp"
#include "Text/UserSentence.hpp"

namespace marlowick {
namespace {

using Error = HelperCommandError;

constexpr std::array<std::string_view, 6> caseNames{"couldNotOpenDevice", "couldNotOpenSource",
                                                    "invalidOptions",     "malformedCommand",
                                                    "targetVerificationFailed", "sourceOnTarget"};

// The runner's own failures to start the helper are technical lines; their sentences.
constexpr std::string_view authorizationCancelledSentence =
    "Marlowick needs an administrator's permission to work with drives, and the request was cancelled, so nothing "
    "was changed. Try again and enter the password when you're asked.";
constexpr std::string_view authorizationFailedSentence =
    "Marlowick wasn't given an administrator's permission to work with drives, so nothing was changed. Try again "
    "with the password of an administrator of this computer.";
constexpr std::string_view launchFailedSentence =
    "Marlowick couldn't start its helper program, so nothing was changed. Try again; if it keeps happening, "
    "reinstall Marlowick.";
// Any other technical line in place of a sentence.
constexpr std::string_view couldNotOpenSentence =
    "Marlowick couldn't open the drive, so nothing was changed. Check that it's still plugged in, then try again.";

// The detail is the engine's sentence (with the technical reason after it), or the runner's
// technical line: the user sees a sentence either way, the diagnostics the detail.
std::string deviceSentence(const std::string& detail) {
    if (detail == HelperLaunchDetail::authorizationCancelled) return std::string(authorizationCancelledSentence);
    if (detail == HelperLaunchDetail::authorizationFailed) return std::string(authorizationFailedSentence);
    if (detail.starts_with(HelperLaunchDetail::launchFailedPrefix)) return std::string(launchFailedSentence);
    return userSentence(detail).value_or(std::string(couldNotOpenSentence));
}

struct UserText {
    std::string operator()(const Error::CouldNotOpenDevice& e) const { return deviceSentence(e.detail); }
    std::string operator()(const Error::CouldNotOpenSource&) const {
        return "Marlowick couldn't read the image file you picked. Check that it still exists and try again.";
    }
    std::string operator()(const Error::InvalidOptions&) const { return std::string(internalErrorSentence); }
    std::string operator()(const Error::MalformedCommand&) const { return std::string(internalErrorSentence); }
    std::string operator()(const Error::TargetVerificationFailed& e) const { return userMessage(e.verdict); }
    std::string operator()(const Error::SourceOnTarget&) const {
        return "The image you picked is stored on the drive you're about to erase, so Marlowick stopped before "
               "writing anything. Copy the image somewhere else first \u2014 " +
               std::string(PlatformWording::computerOwnDisk) + ", say \u2014 and try again.";
    }
};

struct DiagnosticText {
    std::string operator()(const Error::CouldNotOpenDevice& e) const { return "could not open device: " + e.detail; }
    std::string operator()(const Error::CouldNotOpenSource& e) const { return "could not open source: " + e.path; }
    std::string operator()(const Error::InvalidOptions& e) const { return "invalid options: " + e.detail; }
    std::string operator()(const Error::MalformedCommand& e) const { return "malformed command: " + e.detail; }
    std::string operator()(const Error::TargetVerificationFailed& e) const {
        return "target refused: " + diagnosticDescription(e.verdict);
    }
    std::string operator()(const Error::SourceOnTarget&) const {
        return "refused: the raw-write source lives on the target disk";
    }
};

struct Encoder {
    nlohmann::json operator()(const Error::CouldNotOpenDevice& e) const {
        return writeJsonCase("couldNotOpenDevice", JsonObjectWriter().put("detail", e.detail).json());
    }
    nlohmann::json operator()(const Error::CouldNotOpenSource& e) const {
        return writeJsonCase("couldNotOpenSource", JsonObjectWriter().put("path", e.path).json());
    }
    nlohmann::json operator()(const Error::InvalidOptions& e) const {
        return writeJsonCase("invalidOptions", JsonObjectWriter().put("detail", e.detail).json());
    }
    nlohmann::json operator()(const Error::MalformedCommand& e) const {
        return writeJsonCase("malformedCommand", JsonObjectWriter().put("detail", e.detail).json());
    }
    nlohmann::json operator()(const Error::TargetVerificationFailed& e) const {
        return writeUnlabelledJsonCase("targetVerificationFailed", e.verdict);
    }
    nlohmann::json operator()(const Error::SourceOnTarget&) const { return writeJsonCase("sourceOnTarget"); }
};

}  // namespace

bool HelperCommandError::isRefusal() const {
    return std::holds_alternative<TargetVerificationFailed>(value) || std::holds_alternative<SourceOnTarget>(value);
}

std::string userMessage(const HelperCommandError& error) { return std::visit(UserText{}, error.value); }

std::string diagnosticDescription(const HelperCommandError& error) { return std::visit(DiagnosticText{}, error.value); }

void PrintTo(const HelperCommandError& error, std::ostream* os) {
    *os << serializeJsonDocument(JsonCoding<HelperCommandError>::encode(error)).value_or(diagnosticDescription(error));
}

nlohmann::json JsonCoding<HelperCommandError>::encode(const HelperCommandError& error) {
    return std::visit(Encoder{}, error.value);
}

HelperCommandError JsonCoding<HelperCommandError>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonCase found = readJsonCase(json, path, caseNames);
    const JsonObjectReader& p = found.payload;
    if (found.name == "couldNotOpenDevice") return {Error::CouldNotOpenDevice{p.required<std::string>("detail")}};
    if (found.name == "couldNotOpenSource") return {Error::CouldNotOpenSource{p.required<std::string>("path")}};
    if (found.name == "invalidOptions") return {Error::InvalidOptions{p.required<std::string>("detail")}};
    if (found.name == "malformedCommand") return {Error::MalformedCommand{p.required<std::string>("detail")}};
    if (found.name == "targetVerificationFailed") {
        return {Error::TargetVerificationFailed{p.required<TargetVerification::Verdict>("_0")}};
    }
    return {Error::SourceOnTarget{}};
}

}  // namespace marlowick
