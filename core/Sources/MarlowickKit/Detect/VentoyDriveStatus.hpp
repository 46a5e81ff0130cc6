#pragma once
// How a drive was classified: carrying exactly the Ventoy layout this system writes,
// showing the Ventoy fingerprint with some other layout, or no Ventoy drive at all. The
// reasons are shown to the user and sent to the application as they stand.

#include <ostream>
#include <string>
#include <variant>

#include "Layout/VentoyLayout.hpp"

namespace marlowick {

struct VentoyDriveStatus {
    struct NotVentoy {
        std::string reason;
        bool operator==(const NotVentoy&) const = default;
    };
    // The layout rebuilt from the partition table that was read.
    struct Ventoy {
        VentoyLayout layout;
        bool operator==(const Ventoy&) const = default;
    };
    // Prepared by another tool or version: an in-place update would be unsafe.
    struct IncompatibleVentoy {
        std::string reason;
        bool operator==(const IncompatibleVentoy&) const = default;
    };
    using Case = std::variant<NotVentoy, Ventoy, IncompatibleVentoy>;

    Case value;
    bool operator==(const VentoyDriveStatus&) const = default;
};

// "notVentoy(reason: \"...\")", "ventoy(layout: VentoyLayout(diskSectorCount: 1000000, ...))"
[[nodiscard]] std::string render(const VentoyDriveStatus& status);
void PrintTo(const VentoyDriveStatus& status, std::ostream* os);

}  // namespace marlowick
