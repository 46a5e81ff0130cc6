#pragma once
// The home screen's spoken texts in one place, so every view that uses one says the same:
// fixed labels and hints, the builders that pick singular or plural, the notice about
// hidden drives, and the feature rows of the phone-app panel. Pure values.

#include <array>
#include <string>
#include <string_view>

#include "Home/HomeOperationKind.hpp"

namespace marlowick::HomeAccessibility {

inline constexpr std::string_view tryAgainLabel = "Try again";
inline constexpr std::string_view tryAgainHint = "Reads the drive again — use it if you reconnected or replugged it.";
inline constexpr std::string_view bootGuideLabel = "Boot guide";
inline constexpr std::string_view bootGuideHint = "Shows how to start a computer from a Ventoy drive.";
inline constexpr std::string_view diagnosticsToggleHint = "Shows what Marlowick recorded about this operation.";
inline constexpr std::string_view diagnosticsCopyLabel = "Copy technical details";
inline constexpr std::string_view diagnosticsCopyHint =
    "Copies the details to the clipboard so you can paste them into a support message. Your drive's serial number "
    "is not included.";
inline constexpr std::string_view driveImagesRefreshHint =
    "Re-reads the images on the drive — use it after copying an ISO onto it.";
inline constexpr std::string_view gplSourceLinkHint =
    "Opens the Ventoy release the boot files came from in your browser.";

struct MobileAppFeature {
    std::string_view symbol;
    std::string_view title;
    std::string_view detail;
    bool operator==(const MobileAppFeature&) const = default;
};

inline constexpr std::array<MobileAppFeature, 3> getMobileAppFeatures{{
    {"square.grid.2x2.fill", "Curated catalog", "Linux distros and rescue tools, vetted and kept current."},
    {"arrow.down.circle.fill", "Download on the go", "Pull images straight to your phone over Wi-Fi."},
    {"externaldrive.fill.badge.plus", "Fill your drive from your phone",
     "Plug in the drive you made here and copy ISOs onto it."},
}};

// "Title. Detail" of each row, joined with one space.
[[nodiscard]] std::string getMobileAppFeaturesLabel();

// The drive-images card: "Images on this drive. 3 images." and its singular and empty forms.
[[nodiscard]] std::string driveImagesLabel(long long count);

// "2 SSDs or hard drives are hidden to protect the data on it. To use one, …".
[[nodiscard]] std::string hiddenFixedStorageNotice(long long count);

// The progress bar's spoken label: "Updating Ventoy, Writing boot image…, 63 percent".
[[nodiscard]] std::string progressLabel(HomeOperationKind kind, std::string_view stageLabel, double fraction);

// "75" for 0.745: fraction × 100 rounded half away from zero, held to 0…100; a fraction
// that is not a number counts as 0.
[[nodiscard]] long long percent(double fraction);

}  // namespace marlowick::HomeAccessibility
