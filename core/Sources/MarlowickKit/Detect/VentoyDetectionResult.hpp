#pragma once
// What reading a drive for the Ventoy layout gave: a classification, or the block
// layer's error of the read that failed, unchanged.

#include <ostream>
#include <string>
#include <variant>

#include "Block/BlockError.hpp"
#include "Detect/VentoyDriveStatus.hpp"

namespace marlowick {

struct VentoyDetectionResult {
    struct Detected {
        VentoyDriveStatus status;
        bool operator==(const Detected&) const = default;
    };
    struct ReadFailed {
        BlockError error;
        bool operator==(const ReadFailed&) const = default;
    };
    using Case = std::variant<Detected, ReadFailed>;

    Case value;
    bool operator==(const VentoyDetectionResult&) const = default;
};

// "detected(status: notVentoy(reason: \"...\"))", "readFailed(error: closed(operation: \"read\"))"
[[nodiscard]] std::string render(const VentoyDetectionResult& result);
void PrintTo(const VentoyDetectionResult& result, std::ostream* os);

}  // namespace marlowick
