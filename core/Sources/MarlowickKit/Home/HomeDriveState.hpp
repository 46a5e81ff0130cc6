#pragma once
// What the home screen shows for the selected drive, and the two pure mappings that turn
// the helper's answer into it: after a detection (fromDetect) and after an operation
// (fromOperationResult). Every state carries its whole user sentence. Both mappings are
// total: an answer of the wrong kind becomes an error or a failed outcome, never a throw.
// The Drive menu enables its commands from enabledDriveMenuCommands(). Pure values; no
// device, thread or clock.

#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "HelperWire/HelperDriveStatus.hpp"
#include "HelperWire/HelperImagePayloads.hpp"
#include "HelperWire/HelperResult.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"
#include "Home/DriveMenuCommand.hpp"
#include "Home/HomeOperationKind.hpp"
#include "Home/HomeOperationOutcome.hpp"
#include "Home/HomeOperationProgress.hpp"

namespace marlowick {

struct HomeDriveState {
    // No Ventoy layout; the drive can be prepared. The reason is the detector's.
    struct Prepare {
        std::string reason;
        bool operator==(const Prepare&) const = default;
    };
    struct VentoyReady {
        HelperVentoyLayout layout;
        std::optional<std::string> installedVersion;
        std::optional<HelperDriveUsage> usage;
        bool operator==(const VentoyReady&) const = default;
    };
    // A Ventoy-like layout that does not match the expected geometry.
    struct Incompatible {
        std::string reason;
        bool operator==(const Incompatible&) const = default;
    };
    // Attached, but its first sectors could not be read.
    struct Unreadable {
        std::string reason;
        bool operator==(const Unreadable&) const = default;
    };
    // A detection failed before or outside the drive read.
    struct Error {
        std::string message;
        bool operator==(const Error&) const = default;
    };
    struct OperationRunning {
        HomeOperationKind kind = HomeOperationKind::prepare;
        HomeOperationProgress progress;
        bool operator==(const OperationRunning&) const = default;
    };
    struct Done {
        HomeOperationKind kind = HomeOperationKind::prepare;
        HomeOperationOutcome outcome;
        bool operator==(const Done&) const = default;
    };
    struct NoDrive {
        bool operator==(const NoDrive&) const = default;
    };
    struct Detecting {
        bool operator==(const Detecting&) const = default;
    };
    using Case = std::variant<Prepare, VentoyReady, Incompatible, Unreadable, Error, OperationRunning, Done, NoDrive,
                              Detecting>;

    Case value = NoDrive{};

    HomeDriveState() = default;
    // A state is its case: State::Prepare{"…"} converts to a state wherever one is expected.
    template <class Alternative>
        requires(!std::is_same_v<std::decay_t<Alternative>, HomeDriveState> &&
                 std::is_constructible_v<Case, Alternative &&>)
    HomeDriveState(Alternative&& alternative)  // NOLINT(google-explicit-constructor)
        : value(std::forward<Alternative>(alternative)) {}

    // prepare, ventoyReady, incompatible, unreadable or error.
    [[nodiscard]] static HomeDriveState fromDetect(const HelperResult& result);
    // Always done(kind, …).
    [[nodiscard]] static HomeDriveState fromOperationResult(HomeOperationKind kind, const HelperResult& result);
    // The outcome of adding an image, as fromOperationResult gives it.
    [[nodiscard]] static HomeOperationOutcome addImageOutcome(const HelperAddImageOutcome& outcome);

    [[nodiscard]] DriveMenuCommands enabledDriveMenuCommands() const;

    template <class T>
    [[nodiscard]] bool is() const {
        return std::holds_alternative<T>(value);
    }

    bool operator==(const HomeDriveState&) const = default;
};

// The answers a detection or an operation never expects.
inline constexpr std::string_view unexpectedDetectResponseMessage = "Unexpected response while detecting the drive.";
inline constexpr std::string_view unexpectedOperationResponseMessage =
    "Unexpected response while running the operation.";

// "prepare(reason: \"…\")", "done(kind: removeVentoy, outcome: succeeded(summary: \"Ventoy removed\"))"
[[nodiscard]] std::string render(const HomeDriveState& state);
void PrintTo(const HomeDriveState& state, std::ostream* os);

}  // namespace marlowick
