#pragma once
// What the home screen's hero holds beside the state's own texts and primary action
// (HomeStatePresentation, of which it reads whether there is a drive status and whether
// the primary action erases):
// which parts show (the drive header, a failed run's diagnostics, the large-drive caution,
// what a ready drive holds), the secondary links under the primary action and the drive row
// under the card, each with its title, spoken texts and role. A pure value of the state and
// a few facts of the model: the view makes one widget per entry and calls, per role, the
// model's operation.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Home/HomeDriveState.hpp"

namespace marlowick {

struct HomeHeroPresentation {
    // What a link does when clicked.
    enum class Role {
        update,        // asks to update (or reinstall) the boot files
        removeVentoy,  // asks to remove Ventoy
        tryAgain,      // reads the drive again
        addImage,      // picks an image to copy
        bootGuide,     // opens the boot guide
        rescan,        // scans for drives again
        chooseDrive,   // opens the drive picker
    };

    struct Link {
        Role role;
        std::string title;
        std::string identifier;
        std::string accessibilityLabel;  // empty: the title
        std::string accessibilityHint;
        bool emphasised = false;   // drawn heavier: an update is there to take
        bool destructive = false;  // tinted as an error: it erases
        bool operator==(const Link&) const = default;
    };

    // The facts of the model the hero reads beside the state.
    struct Inputs {
        std::string recommendedVersion;
        std::optional<std::int64_t> capacityBytes;  // none without a drive
        bool hasDisk = false;
        std::string deviceName;
        std::size_t availableDiskCount = 0;
        std::int64_t hiddenFixedStorageCount = 0;
        bool hasDiagnostics = false;
        // From the state's presentation: it has a status chip for the drive header, and its
        // primary action erases the drive.
        bool stateHasDriveStatus = false;
        bool primaryActionErases = false;
    };

    // The drive row under the card: with no drive, the row that finds one (links in the
    // body font, the primary colour); with a drive, the quiet row that changes it (callout
    // font, muted).
    enum class DriveRow { none, findDrive, changeDrive };

    bool showsDriveHeader = false;
    bool showsDiagnostics = false;
    bool showsLargeDriveCaution = false;
    bool showsDriveContents = false;  // the drive's card and images: a ready drive
    std::vector<Link> secondaryLinks;
    DriveRow driveRow = DriveRow::none;
    std::vector<Link> driveLinks;
    std::optional<std::string> hiddenFixedStorageNotice;

    HomeHeroPresentation(const HomeDriveState& state, const Inputs& inputs);

    bool operator==(const HomeHeroPresentation&) const = default;
};

}  // namespace marlowick
