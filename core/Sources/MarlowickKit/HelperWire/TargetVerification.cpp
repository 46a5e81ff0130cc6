#include "HelperWire/TargetVerification.hpp"

#include <algorithm>

#include "HelperWire/DeviceFingerprintJson.hpp"
#include "Text/CaseDescription.hpp"
#include "Block/HelperDeviceProbe.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

using Verdict = TargetVerification::Verdict;
using Reason = TargetVerification::IneligibilityReason;

struct UserText {
    std::string operator()(const Verdict::Verified&) const { return "The drive was verified."; }
    std::string operator()(const Verdict::MalformedDevicePath&) const { return std::string(internalErrorSentence); }
    std::string operator()(const Verdict::DeviceNotFound&) const {
        return "The drive you selected isn't connected any more, so Marlowick stopped before writing anything. Plug "
               "it back in and choose it again.";
    }
    std::string operator()(const Verdict::IneligibleTarget& v) const {
        if (v.reason == Reason::systemDisk) {
            return "That's " + std::string(PlatformWording::ownSystemDisk) +
                   ", so Marlowick refused to write to it. Nothing was changed.";
        }
        return "That's part of another drive rather than a drive of its own, so Marlowick refused to write to it. "
               "Nothing was changed. Choose the whole drive instead.";
    }
    template <class FingerprintProblem>
    std::string operator()(const FingerprintProblem&) const {
        return "The drive at that position isn't the one you selected \u2014 " +
               std::string(PlatformWording::operatingSystem) +
               " may have renumbered it, or a different drive was plugged in. Marlowick stopped before writing "
               "anything. Choose the drive again to continue.";
    }
};

constexpr std::string_view deviceDirectory = "/dev/";

// ASCII only: a locale or Unicode class must not widen what may follow /dev/.
bool isKernelNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

struct DiagnosticText {
    std::string operator()(const Verdict::Verified&) const { return "verified"; }
    std::string operator()(const Verdict::MalformedDevicePath& v) const {
        return "not a whole-disk raw node: " + v.path;
    }
    std::string operator()(const Verdict::DeviceNotFound& v) const { return v.bsdName + " is no longer attached"; }
    std::string operator()(const Verdict::IneligibleTarget& v) const {
        return v.bsdName + " is not a legal target: " + std::string(rawValue(v.reason));
    }
    std::string operator()(const Verdict::FingerprintMissing& v) const {
        return v.bsdName + " had no captured fingerprint to verify against";
    }
    std::string operator()(const Verdict::FingerprintMismatch& v) const {
        return v.bsdName + " is a different device: " + std::string(rawValue(v.field)) + " changed";
    }
};

struct Renderer {
    std::string operator()(const Verdict::Verified&) const { return "verified"; }
    std::string operator()(const Verdict::MalformedDevicePath& v) const {
        return CaseDescription("malformedDevicePath").field("path", v.path).str();
    }
    std::string operator()(const Verdict::DeviceNotFound& v) const {
        return CaseDescription("deviceNotFound").field("bsdName", v.bsdName).str();
    }
    std::string operator()(const Verdict::IneligibleTarget& v) const {
        return CaseDescription("ineligibleTarget").field("bsdName", v.bsdName).rawField("reason", rawValue(v.reason)).str();
    }
    std::string operator()(const Verdict::FingerprintMissing& v) const {
        return CaseDescription("fingerprintMissing").field("bsdName", v.bsdName).str();
    }
    std::string operator()(const Verdict::FingerprintMismatch& v) const {
        return CaseDescription("fingerprintMismatch").field("bsdName", v.bsdName).rawField("field", rawValue(v.field)).str();
    }
};

struct Encoder {
    nlohmann::json operator()(const Verdict::Verified&) const { return JsonObjectWriter().put<std::string>("kind", "verified").json(); }
    nlohmann::json operator()(const Verdict::MalformedDevicePath& v) const {
        return JsonObjectWriter().put<std::string>("kind", "malformedDevicePath").put("path", v.path).json();
    }
    nlohmann::json operator()(const Verdict::DeviceNotFound& v) const {
        return JsonObjectWriter().put<std::string>("kind", "deviceNotFound").put("bsdName", v.bsdName).json();
    }
    nlohmann::json operator()(const Verdict::IneligibleTarget& v) const {
        return JsonObjectWriter()
            .put<std::string>("kind", "ineligibleTarget")
            .put("bsdName", v.bsdName)
            .putJson("reason", encodeRawValue(ineligibilityReasonRawValues, v.reason))
            .json();
    }
    nlohmann::json operator()(const Verdict::FingerprintMissing& v) const {
        return JsonObjectWriter().put<std::string>("kind", "fingerprintMissing").put("bsdName", v.bsdName).json();
    }
    nlohmann::json operator()(const Verdict::FingerprintMismatch& v) const {
        return JsonObjectWriter()
            .put<std::string>("kind", "fingerprintMismatch")
            .put("bsdName", v.bsdName)
            .put("field", v.field)
            .json();
    }
};

}  // namespace

std::optional<std::string> TargetVerification::wholeDiskBSDName(std::string_view rawPath) {
    if (!rawPath.starts_with(deviceDirectory)) return std::nullopt;
    const std::string_view name = rawPath.substr(deviceDirectory.size());
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    if (!std::all_of(name.begin(), name.end(), isKernelNameCharacter)) return std::nullopt;
    return std::string(name);
}

Verdict TargetVerification::verify(const HelperDiskRef& disk, bool writesToDevice, HelperDeviceProbe& probe) {
    const std::optional<std::string> name = wholeDiskBSDName(disk.rawDevicePath);
    if (!name) return {Verdict::MalformedDevicePath{disk.rawDevicePath}};
    const std::optional<DiscoveredDisk> found = probe.probe(*name);
    if (!found) return {Verdict::DeviceNotFound{*name}};
    if (!found->isWhole) return {Verdict::IneligibleTarget{*name, Reason::notWholeDisk}};
    if (found->isSynthesizedContainer()) return {Verdict::IneligibleTarget{*name, Reason::synthesizedContainer}};
    if (found->isProtectedSystemDisk()) return {Verdict::IneligibleTarget{*name, Reason::systemDisk}};
    if (!disk.fingerprint) {
        if (writesToDevice) return {Verdict::FingerprintMissing{*name}};
        return {Verdict::Verified{}};
    }
    const FingerprintMatch match = disk.fingerprint->match(found->fingerprint());
    if (const auto* mismatch = std::get_if<FingerprintMatch::Mismatch>(&match.value)) {
        return {Verdict::FingerprintMismatch{*name, mismatch->field}};
    }
    return {Verdict::Verified{}};
}

std::string userMessage(const Verdict& verdict) { return std::visit(UserText{}, verdict.value); }

std::string diagnosticDescription(const Verdict& verdict) { return std::visit(DiagnosticText{}, verdict.value); }

std::string render(const Verdict& verdict) { return std::visit(Renderer{}, verdict.value); }

void PrintTo(const Verdict& verdict, std::ostream* os) { *os << render(verdict); }

nlohmann::json JsonCoding<Verdict>::encode(const Verdict& verdict) { return std::visit(Encoder{}, verdict.value); }

Verdict JsonCoding<Verdict>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader o(json, path);
    const auto kind = o.required<std::string>("kind");
    if (kind == "verified") return {Verdict::Verified{}};
    if (kind == "malformedDevicePath") return {Verdict::MalformedDevicePath{o.required<std::string>("path")}};
    if (kind == "deviceNotFound") return {Verdict::DeviceNotFound{o.required<std::string>("bsdName")}};
    if (kind == "ineligibleTarget") {
        return {Verdict::IneligibleTarget{o.required<std::string>("bsdName"),
                                          o.requiredRawValue("reason", ineligibilityReasonRawValues)}};
    }
    if (kind == "fingerprintMissing") return {Verdict::FingerprintMissing{o.required<std::string>("bsdName")}};
    if (kind == "fingerprintMismatch") {
        return {Verdict::FingerprintMismatch{o.required<std::string>("bsdName"),
                                             o.required<DeviceFingerprint::Field>("field")}};
    }
    throwJsonDecodingError(path.key("kind"), "unknown verdict kind \"" + kind + "\"");
}

}  // namespace marlowick
