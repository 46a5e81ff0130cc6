#pragma once
// What the home screen's hero shows for one drive state: the symbol and its tint, the title
// and subtitle, the primary action with its spoken texts, the status chip of the drive
// header and the explanation behind the state's "What does this mean?" link. A pure
// function of the state: no model, settings or clock. The messages and summaries of a state
// are user sentences already (the lower layers' texts pass through their user-facing
// sentences on the way up) and are inserted as they are; the detector's technical reasons
// are not shown.

#include <optional>
#include <string>

#include "Design/BrandColor.hpp"
#include "Home/HomeDriveState.hpp"

namespace marlowick {

// The explanation behind a "What does this mean?" link.
struct StateDetail {
    std::string title;
    std::string body;
    bool operator==(const StateDetail&) const = default;
};

// The status chip of the drive header: its text, symbol and colour.
struct DriveContextStatus {
    std::string label;
    std::string symbol;  // a symbol name of SymbolIcons
    BrandColor color;
    bool operator==(const DriveContextStatus&) const = default;
};

struct HomeStatePresentation {
    struct Action {
        std::string label;  // the visible title; may end in "…"
        // Tinted with the error colour, and the only kind of action a large drive is warned about.
        bool isDestructive = false;
        std::string accessibilityLabel;  // never ends in "…"
        std::optional<std::string> accessibilityHint;
        bool operator==(const Action&) const = default;
    };

    std::string systemImage;
    BrandColor iconColor = BrandColor::primary;
    std::string title;
    std::optional<std::string> subtitle;
    std::optional<Action> primaryAction;
    std::optional<DriveContextStatus> contextStatus;
    std::optional<StateDetail> detail;

    explicit HomeStatePresentation(const HomeDriveState& state);

    // The chip and the explanation of a state alone (the fields of the same name hold them).
    [[nodiscard]] static std::optional<DriveContextStatus> contextStatusFor(const HomeDriveState& state);
    [[nodiscard]] static std::optional<StateDetail> detailFor(const HomeDriveState& state);

    bool operator==(const HomeStatePresentation&) const = default;
};

}  // namespace marlowick
