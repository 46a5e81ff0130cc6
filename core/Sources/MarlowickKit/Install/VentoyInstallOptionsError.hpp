#pragma once
// Why a set of install options was refused. Thrown only by the validating constructor
// of VentoyInstallOptions; the caller turns it into a refusal of the command.

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <variant>

namespace marlowick {

struct VentoyInstallOptionsError : std::runtime_error {
    struct NegativeReserveBytes {
        std::int64_t bytes;
        bool operator==(const NegativeReserveBytes&) const = default;
    };
    struct ClusterNotPowerOfTwo {
        std::int64_t size;
        bool operator==(const ClusterNotPowerOfTwo&) const = default;
    };
    struct ClusterOutOfRange {
        std::int64_t size;
        bool operator==(const ClusterOutOfRange&) const = default;
    };
    // The label's length in UTF-16 code units, the unit the volume formatters count.
    struct VolumeLabelTooLong {
        std::int64_t length;
        bool operator==(const VolumeLabelTooLong&) const = default;
    };
    struct BlankVolumeLabel {
        bool operator==(const BlankVolumeLabel&) const = default;
    };
    using Case = std::variant<NegativeReserveBytes, ClusterNotPowerOfTwo, ClusterOutOfRange, VolumeLabelTooLong,
                              BlankVolumeLabel>;

    explicit VentoyInstallOptionsError(Case c);  // what() == render(value)
    Case value;

    bool operator==(const VentoyInstallOptionsError& other) const { return value == other.value; }
};

// "negativeReserveBytes(-1)", "clusterOutOfRange(256)", "volumeLabelTooLong(length: 12)", "blankVolumeLabel"
[[nodiscard]] std::string render(const VentoyInstallOptionsError::Case& error);
void PrintTo(const VentoyInstallOptionsError& error, std::ostream* os);

}  // namespace marlowick
