#pragma once
// Why a command could not run: bad options, a device or source that would not open, a
// refused target, an undecodable command. Each case has one sentence for the user and one
// technical line for logs and the diagnostic report.
//   {"couldNotOpenSource":{"path":"/home/u/a.iso"}}   {"targetVerificationFailed":{"_0":{"kind":"verified"}}}

#include <ostream>
#include <string>
#include <variant>

#include "HelperWire/JsonCoding.hpp"
#include "HelperWire/TargetVerification.hpp"

namespace marlowick {

struct HelperCommandError {
    // The detail is a user sentence and is shown unchanged.
    struct CouldNotOpenDevice {
        std::string detail;
        bool operator==(const CouldNotOpenDevice&) const = default;
    };
    struct CouldNotOpenSource {
        std::string path;
        bool operator==(const CouldNotOpenSource&) const = default;
    };
    struct InvalidOptions {
        std::string detail;
        bool operator==(const InvalidOptions&) const = default;
    };
    struct MalformedCommand {
        std::string detail;
        bool operator==(const MalformedCommand&) const = default;
    };
    struct TargetVerificationFailed {
        TargetVerification::Verdict verdict;
        bool operator==(const TargetVerificationFailed&) const = default;
    };
    struct SourceOnTarget {
        bool operator==(const SourceOnTarget&) const = default;
    };
    using Case = std::variant<CouldNotOpenDevice, CouldNotOpenSource, InvalidOptions, MalformedCommand,
                              TargetVerificationFailed, SourceOnTarget>;

    Case value;

    // A refusal of the target (any verdict) or of a source stored on the target.
    [[nodiscard]] bool isRefusal() const;

    bool operator==(const HelperCommandError&) const = default;
};

[[nodiscard]] std::string userMessage(const HelperCommandError& error);
// "target refused: sdb is a different device: serialNumber changed"
[[nodiscard]] std::string diagnosticDescription(const HelperCommandError& error);
void PrintTo(const HelperCommandError& error, std::ostream* os);

template <>
struct JsonCoding<HelperCommandError> {
    static nlohmann::json encode(const HelperCommandError& error);
    static HelperCommandError decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
