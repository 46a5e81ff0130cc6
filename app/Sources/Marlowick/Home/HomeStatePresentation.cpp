#include "Home/HomeStatePresentation.hpp"

#include <string_view>
#include <type_traits>

namespace marlowick {
namespace {

using State = HomeDriveState;
using Action = HomeStatePresentation::Action;

constexpr std::string_view incompatibleSentence = "This drive has a Ventoy layout that Marlowick can't update in place.";

const Action prepareAction{"Prepare…", true, "Prepare drive",
                           "Erases the drive and sets it up as a Ventoy multiboot disk."};
const std::string returnsToStart = "Returns to the start.";

// The operations after which the drive holds fresh boot files the phone app can fill.
bool installsBootFiles(HomeOperationKind kind) {
    return kind == HomeOperationKind::prepare || kind == HomeOperationKind::reinstall ||
           kind == HomeOperationKind::update;
}

}  // namespace

HomeStatePresentation::HomeStatePresentation(const HomeDriveState& state)
    : contextStatus(HomeStatePresentation::contextStatusFor(state)), detail(HomeStatePresentation::detailFor(state)) {
    std::visit(
        [this](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, State::Prepare>) {
                systemImage = "externaldrive.badge.plus";
                iconColor = BrandColor::primary;
                title = "Prepare this drive";
                subtitle = "This drive isn't set up as a Ventoy multiboot disk yet. Preparing erases everything on it.";
                primaryAction = prepareAction;
            } else if constexpr (std::is_same_v<T, State::VentoyReady>) {
                systemImage = "externaldrive.badge.checkmark";
                iconColor = BrandColor::successText;
                title = "Add an image";
                subtitle = "This Ventoy drive is ready. Pick an ISO to copy onto it.";
                primaryAction = Action{"Add an image…", false, "Add an image", "Copies an image you pick onto the drive."};
            } else if constexpr (std::is_same_v<T, State::Incompatible>) {
                systemImage = "externaldrive.badge.exclamationmark";
                iconColor = BrandColor::warningText;
                title = "This drive can't be updated in place";
                // The detector's reason is a technical line; it goes to the log and the diagnostics.
                subtitle = std::string(incompatibleSentence) + " A full reinstall is required, which erases the drive.";
                primaryAction = Action{"Reinstall…", true, "Reinstall Ventoy",
                                       "Erases the drive and reinstalls Ventoy with a compatible layout."};
            } else if constexpr (std::is_same_v<T, State::Unreadable>) {
                systemImage = "externaldrive.badge.exclamationmark";
                iconColor = BrandColor::warningText;
                title = "This drive couldn't be read";
                subtitle = value.reason + " You can reformat it to fix it — this erases everything on the drive.";
                primaryAction = prepareAction;
            } else if constexpr (std::is_same_v<T, State::Error>) {
                systemImage = "externaldrive.badge.xmark";
                iconColor = BrandColor::errorText;
                title = "Something went wrong";
                subtitle = value.message;
                primaryAction = Action{"Retry", false, "Retry", "Reads the drive again."};
            } else if constexpr (std::is_same_v<T, State::OperationRunning>) {
                systemImage = "gearshape";
                iconColor = BrandColor::primary;
            } else if constexpr (std::is_same_v<T, State::Done>) {
                if (const auto* succeeded = std::get_if<HomeOperationOutcome::Succeeded>(&value.outcome.value)) {
                    systemImage = "checkmark.circle.fill";
                    iconColor = BrandColor::successText;
                    title = succeeded->summary;
                    subtitle = installsBootFiles(value.kind)
                                   ? "Scan the code to continue on your phone — pick ISOs from the catalog and copy "
                                     "them to this drive."
                                   : "You can safely eject the drive now.";
                    primaryAction = Action{"Done", false, "Done", returnsToStart};
                } else {
                    systemImage = "xmark.octagon.fill";
                    iconColor = BrandColor::errorText;
                    title = "Operation didn't finish";
                    subtitle = std::get<HomeOperationOutcome::Failed>(value.outcome.value).message;
                    primaryAction = Action{"Back", false, "Back", returnsToStart};
                }
            } else if constexpr (std::is_same_v<T, State::NoDrive>) {
                systemImage = "externaldrive.badge.questionmark";
                iconColor = BrandColor::textSubtle;
                title = "Connect a USB drive";
                subtitle = "Plug in a USB drive to prepare it as a multiboot disk.";
            } else {
                static_assert(std::is_same_v<T, State::Detecting>);
                systemImage = "externaldrive.badge.timemachine";
                iconColor = BrandColor::primary;
                title = "Reading drive…";
                subtitle = "Checking the connected drive.";
            }
        },
        state.value);
}

std::optional<DriveContextStatus> HomeStatePresentation::contextStatusFor(const HomeDriveState& state) {
    if (state.is<State::Prepare>()) return DriveContextStatus{"Not set up", "externaldrive.badge.plus", BrandColor::primary};
    if (state.is<State::Incompatible>()) {
        return DriveContextStatus{"Incompatible layout", "exclamationmark.triangle.fill", BrandColor::warningText};
    }
    if (state.is<State::Unreadable>()) {
        return DriveContextStatus{"Couldn't be read", "exclamationmark.triangle.fill", BrandColor::warningText};
    }
    return std::nullopt;
}

std::optional<StateDetail> HomeStatePresentation::detailFor(const HomeDriveState& state) {
    if (state.is<State::Prepare>()) {
        std::string body =
            "This drive isn't set up for Ventoy. Preparing erases everything on it, formats it as exFAT, and installs "
            "the Ventoy bootloader — then you can copy ISO files onto it and boot from them. Marlowick only reads the "
            "drive until you confirm.";
        // What the detector found is a technical line, left to the log and the diagnostics.
        return StateDetail{"About preparing this drive", body};
    }
    if (state.is<State::Incompatible>()) {
        return StateDetail{"About this drive's layout",
                           "This drive has a Ventoy-like layout Marlowick can't safely update in place (it's foreign "
                           "or too small). A full reinstall lays down a fresh, compatible layout — which erases "
                           "everything on the drive."};
    }
    if (state.is<State::Unreadable>()) {
        return StateDetail{"About this unreadable drive",
                           "The drive connected and reported its size, but its layout couldn't be read — usually "
                           "because an earlier operation was interrupted and left it half-written. Try reading it "
                           "again, or reformat it with Prepare to fix it (which erases everything on the drive)."};
    }
    return std::nullopt;
}

}  // namespace marlowick
