#include "Home/HomeHeroPresentation.hpp"

#include "Home/HomeAccessibility.hpp"
#include "Home/OperationConfirmationPresentation.hpp"
#include "Home/VentoyUpdatePresentation.hpp"

namespace marlowick {
namespace {

using State = HomeDriveState;
using Kind = HomeOperationKind;
using Link = HomeHeroPresentation::Link;
using Role = HomeHeroPresentation::Role;

Link bootGuide(std::string identifier) {
    return {Role::bootGuide, std::string(HomeAccessibility::bootGuideLabel), std::move(identifier),
            std::string(HomeAccessibility::bootGuideLabel), std::string(HomeAccessibility::bootGuideHint)};
}

}  // namespace

HomeHeroPresentation::HomeHeroPresentation(const HomeDriveState& state, const Inputs& inputs) {
    const auto* ready = std::get_if<State::VentoyReady>(&state.value);
    const auto* done = std::get_if<State::Done>(&state.value);

    showsDriveHeader = inputs.hasDisk && inputs.stateHasDriveStatus;
    showsDiagnostics = done != nullptr && !done->outcome.isSuccess() && inputs.hasDiagnostics;
    showsLargeDriveCaution = OperationConfirmationPresentation::isLargeDrive(inputs.capacityBytes) &&
                             inputs.primaryActionErases;
    showsDriveContents = ready != nullptr;

    if (ready != nullptr) {
        const VentoyUpdatePresentation offer(ready->installedVersion, inputs.recommendedVersion);
        secondaryLinks.push_back({Role::update, offer.updateLinkTitle(), "home.secondary.update", "Update Ventoy",
                                  "Refreshes the boot files. Your images are kept.", offer.offersUpdate(), false});
        secondaryLinks.push_back({Role::removeVentoy, "Remove Ventoy", "home.secondary.remove", "Remove Ventoy",
                                  "Erases Ventoy and everything on the drive, returning it to plain storage.", false,
                                  true});
    }
    if (state.is<State::Unreadable>()) {
        secondaryLinks.push_back({Role::tryAgain, std::string(HomeAccessibility::tryAgainLabel),
                                  "home.secondary.tryAgain", std::string(HomeAccessibility::tryAgainLabel),
                                  std::string(HomeAccessibility::tryAgainHint)});
    }
    if (done != nullptr && done->outcome.isSuccess()) {
        if (done->kind != Kind::removeVentoy) {
            const bool another = done->kind == Kind::addImage;
            secondaryLinks.push_back({Role::addImage, another ? "Add another" : "Add an image",
                                      "home.secondary.addAnother", another ? "Add another image" : "Add an image",
                                      another ? "Pick another image to copy onto this drive."
                                              : "Copies an image you pick onto the drive."});
        }
        secondaryLinks.push_back(bootGuide("home.secondary.bootGuide"));
    }

    if (state.is<State::NoDrive>()) {
        driveRow = DriveRow::findDrive;
        driveLinks.push_back({Role::rescan, "Rescan", "home.drive.rescan", "", ""});
        if (inputs.availableDiskCount >= 1) {
            driveLinks.push_back({Role::chooseDrive, "Choose a drive…", "home.drive.choose", "Choose a drive", ""});
        }
        driveLinks.push_back(bootGuide("home.drive.bootGuide"));
        if (inputs.hiddenFixedStorageCount >= 1) {
            hiddenFixedStorageNotice = HomeAccessibility::hiddenFixedStorageNotice(inputs.hiddenFixedStorageCount);
        }
    } else if (state.is<State::Prepare>() || ready != nullptr || state.is<State::Incompatible>() ||
               state.is<State::Unreadable>() || state.is<State::Error>()) {
        driveRow = DriveRow::changeDrive;
        driveLinks.push_back({Role::rescan, "Rescan", "home.drive.rescan", "", ""});
        if (inputs.availableDiskCount >= 2 && inputs.hasDisk) {
            const std::string title = "Using " + inputs.deviceName + " · Change drive";
            driveLinks.push_back({Role::chooseDrive, title, "home.drive.change", title, ""});
        }
    }
}

}  // namespace marlowick
