#pragma once
// The short plain-text report kept after each operation, for the user to read and copy:
// which versions ran what, on which drive, how it ended, and the technical lines that
// explain it. The user's home directory is shown as "~".

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Block/DeviceFingerprint.hpp"
#include "Block/DiscoveredDisk.hpp"

namespace marlowick {

struct DiagnosticReport {
    struct Environment {
        std::string appVersion;
        std::string buildNumber;
        std::string osVersion;
        bool operator==(const Environment&) const = default;
    };

    struct DriveSummary {
        std::string bsdName;  // "sdb"
        std::int64_t capacityBytes = 0;
        int sectorSize = 0;
        std::optional<std::string> transport;  // "USB"
        bool isRemovable = false;
        std::optional<DeviceFingerprint::Strength> identity;

        DriveSummary() = default;
        DriveSummary(std::string bsdName, std::int64_t capacityBytes, int sectorSize,
                     std::optional<std::string> transport, bool isRemovable,
                     std::optional<DeviceFingerprint::Strength> identity);
        // Always sets the identity: how firmly the disk's fingerprint names it.
        explicit DriveSummary(const DiscoveredDisk& disk);

        bool operator==(const DriveSummary&) const = default;
    };

    Environment environment;
    std::optional<std::string> operation;  // the operation's title
    std::string outcome;                   // normally the result's diagnosticOutcome
    std::optional<DriveSummary> drive;
    std::vector<std::string> details;  // normally the result's diagnosticDetails

    // The lines joined by line feeds (none after the last), the home directory shown as "~".
    [[nodiscard]] std::string rendered(std::string_view homeDirectory) const;
    // Every occurrence of the home directory replaced by "~", left to right; a home
    // directory shorter than two characters ("" or "/") changes nothing.
    [[nodiscard]] static std::string redact(std::string_view text, std::string_view homeDirectory);

    bool operator==(const DiagnosticReport&) const = default;
};

void PrintTo(const DiagnosticReport& report, std::ostream* os);

}  // namespace marlowick
