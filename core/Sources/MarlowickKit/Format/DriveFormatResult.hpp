#pragma once
// How a plain-drive format ended: refused before anything was written, or run with a
// step-by-step report.

#include <ostream>
#include <string>
#include <variant>

#include "Format/FormatReport.hpp"

namespace marlowick {

struct DriveFormatResult {
    // The format ran, successfully or not; the report says how far it got.
    struct Completed {
        FormatReport report;
        bool operator==(const Completed&) const = default;
    };
    // The disk's size or sector size does not allow the layout; nothing was written.
    struct Aborted {
        std::string reason;
        bool operator==(const Aborted&) const = default;
    };
    using Case = std::variant<Completed, Aborted>;

    Case value;
    bool operator==(const DriveFormatResult&) const = default;
};

// For test output: "aborted(reason: \"disk too small: 2048 < 2049 sectors\")", or the
// report's flags and notes.
void PrintTo(const FormatReport& report, std::ostream* os);
void PrintTo(const DriveFormatResult& result, std::ostream* os);

}  // namespace marlowick
