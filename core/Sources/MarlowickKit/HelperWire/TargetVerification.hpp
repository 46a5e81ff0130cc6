#pragma once
// The outcome of re-identifying a target drive before any command touches it: a verdict,
// its user sentence, its technical line, and its own flat wire form
//   {"kind":"fingerprintMismatch","bsdName":"sdb","field":"serialNumber"}
// (a "kind" key naming the case, beside it only the keys that case carries).

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "Block/DeviceFingerprint.hpp"
#include "Text/RawValueTable.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

// What the user reads when a command could not start because of a fault of Marlowick's
// own (a malformed command or device path, options the engine refused): the one sentence
// for every such case, of the verdicts and of the command errors alike.
inline constexpr std::string_view internalErrorSentence =
    "Marlowick couldn't start the operation because of an internal error. The drive was not changed.";

struct HelperDiskRef;
class HelperDeviceProbe;

// The two rules by which a command's target is re-identified: which whole disk a device
// path names, and whether the disk now behind that name is the one the command was made
// for. Kernel names are handed out afresh as drives come and go, and the helper writes
// with administrator rights, so a stale path could name the system disk or another stick.
struct TargetVerification {
    // Why a named disk may not be a target. The raw text of each case is its name.
    enum class IneligibilityReason { notWholeDisk, synthesizedContainer, systemDisk };

    struct Verdict {
        struct MalformedDevicePath {
            std::string path;
            bool operator==(const MalformedDevicePath&) const = default;
        };
        struct DeviceNotFound {
            std::string bsdName;
            bool operator==(const DeviceNotFound&) const = default;
        };
        struct IneligibleTarget {
            std::string bsdName;
            IneligibilityReason reason;
            bool operator==(const IneligibleTarget&) const = default;
        };
        struct FingerprintMissing {
            std::string bsdName;
            bool operator==(const FingerprintMissing&) const = default;
        };
        struct FingerprintMismatch {
            std::string bsdName;
            DeviceFingerprint::Field field;
            bool operator==(const FingerprintMismatch&) const = default;
        };
        struct Verified {
            bool operator==(const Verified&) const = default;
        };
        using Case = std::variant<MalformedDevicePath, DeviceNotFound, IneligibleTarget, FingerprintMissing,
                                  FingerprintMismatch, Verified>;

        Case value;

        [[nodiscard]] bool isVerified() const { return std::holds_alternative<Verified>(value); }
        bool operator==(const Verdict&) const = default;
    };

    // The kernel name in a device path: "/dev/" and then one non-empty name of ASCII
    // letters, digits, '-', '_' and '.', other than "." and "..". sdb from /dev/sdb;
    // none for "/dev/", "/dev/disk/by-id/x", "/dev/sdb/" or "/dev/../sda". Whether the
    // name stands for a whole disk is the probe's answer.
    [[nodiscard]] static std::optional<std::string> wholeDiskBSDName(std::string_view rawPath);

    // The first check that fails decides, in this order: a kernel name in the path; a
    // device of that name now; a whole disk; not a synthesized one; not the system disk
    // (these three for reads too); then, when the reference carries a fingerprint, the
    // first field in which the probed disk's own fingerprint differs. A reference
    // without one is refused for a write and let through for a read. Asks the probe once.
    [[nodiscard]] static Verdict verify(const HelperDiskRef& disk, bool writesToDevice, HelperDeviceProbe& probe);
};

inline constexpr RawValueTable<TargetVerification::IneligibilityReason, 3> ineligibilityReasonRawValues{
    {"notWholeDisk", "synthesizedContainer", "systemDisk"}};

[[nodiscard]] constexpr std::string_view rawValue(TargetVerification::IneligibilityReason reason) {
    return ineligibilityReasonRawValues.text(reason);
}

// One plain sentence for the user; it never names the device, the path or the field.
[[nodiscard]] std::string userMessage(const TargetVerification::Verdict& verdict);
// "sdb is a different device: serialNumber changed"
[[nodiscard]] std::string diagnosticDescription(const TargetVerification::Verdict& verdict);
// "fingerprintMismatch(bsdName: \"sdb\", field: serialNumber)"
[[nodiscard]] std::string render(const TargetVerification::Verdict& verdict);
void PrintTo(const TargetVerification::Verdict& verdict, std::ostream* os);

template <>
struct JsonCoding<TargetVerification::Verdict> {
    static nlohmann::json encode(const TargetVerification::Verdict& verdict);
    // "kind" first (an unknown kind fails), then exactly the keys that kind needs.
    static TargetVerification::Verdict decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
