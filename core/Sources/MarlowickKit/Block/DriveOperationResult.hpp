#pragma once
// How a drive operation (format, Ventoy install, raw image write) ended: run, with a
// step-by-step report that says how far it got, or refused before anything was written.

#include <string>
#include <variant>

#include "Block/DriveOperationReport.hpp"

namespace marlowick {

template <DriveOperationReport Report>
struct DriveOperationResult {
    // The operation ran, successfully or not; the report says how far it got.
    struct Completed {
        Report report;
        bool operator==(const Completed&) const = default;
    };
    // Refused before a single sector was written.
    struct Aborted {
        std::string reason;
        bool operator==(const Aborted&) const = default;
    };
    using Case = std::variant<Completed, Aborted>;

    Case value;
    bool operator==(const DriveOperationResult&) const = default;
};

}  // namespace marlowick
