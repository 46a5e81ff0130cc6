#pragma once
// The identity of a physical drive as it was seen when the disks were listed. A fresh
// fingerprint of whatever now answers to the same device name is compared with the
// captured one before the drive is written. A plain value; no I/O.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "Text/RawValueTable.hpp"

namespace marlowick {

struct FingerprintMatch;

struct DeviceFingerprint {
    // The compared properties; the raw text of each is its name.
    enum class Field { serialNumber, vendor, model, revision, capacity, sectorSize, removable, internalBus };
    // How firmly the fingerprint identifies one physical unit.
    enum class Strength { unit, model, capacityOnly };

    std::optional<std::string> serialNumber;
    std::optional<std::string> vendor;
    std::optional<std::string> model;
    std::optional<std::string> revision;
    std::int64_t capacityBytes = 0;
    std::int64_t sectorSize = 0;
    bool isRemovable = false;
    bool isInternal = false;

    // Fields stored as given; for values that arrive already coded (the wire).
    DeviceFingerprint() = default;
    // Trims Unicode white space and line breaks from both ends of each text; a text
    // with nothing left becomes absent. Inner white space and letter case are kept.
    DeviceFingerprint(std::optional<std::string> serialNumber, std::optional<std::string> vendor,
                      std::optional<std::string> model, std::optional<std::string> revision,
                      std::int64_t capacityBytes, std::int64_t sectorSize, bool isRemovable, bool isInternal);

    // unit with a serial number; else model with a vendor or model; else capacityOnly.
    [[nodiscard]] Strength strength() const;
    // The first differing field in the order capacity, sectorSize, serialNumber, vendor,
    // model, revision, removable, internalBus. Texts compare exactly; absent equals only absent.
    [[nodiscard]] FingerprintMatch match(const DeviceFingerprint& against) const;

    bool operator==(const DeviceFingerprint&) const = default;
};

struct FingerprintMatch {
    struct Mismatch {
        DeviceFingerprint::Field field;
        bool operator==(const Mismatch&) const = default;
    };
    struct Match {
        bool operator==(const Match&) const = default;
    };
    std::variant<Mismatch, Match> value;

    [[nodiscard]] bool isMatch() const { return std::holds_alternative<Match>(value); }
    bool operator==(const FingerprintMatch&) const = default;
};

inline constexpr RawValueTable<DeviceFingerprint::Field, 8> fingerprintFieldRawValues{
    {"serialNumber", "vendor", "model", "revision", "capacity", "sectorSize", "removable", "internalBus"}};
inline constexpr RawValueTable<DeviceFingerprint::Strength, 3> fingerprintStrengthRawValues{
    {"unit", "model", "capacityOnly"}};

[[nodiscard]] constexpr std::string_view rawValue(DeviceFingerprint::Field field) {
    return fingerprintFieldRawValues.text(field);
}
[[nodiscard]] constexpr std::string_view rawValue(DeviceFingerprint::Strength strength) {
    return fingerprintStrengthRawValues.text(strength);
}

// "match" or "mismatch(field: capacity)"
[[nodiscard]] std::string render(const FingerprintMatch& match);
void PrintTo(const FingerprintMatch& match, std::ostream* os);
void PrintTo(const DeviceFingerprint& fingerprint, std::ostream* os);

}  // namespace marlowick
