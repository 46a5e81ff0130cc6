#include "Home/HomeAccessibility.hpp"

#include <cmath>

namespace marlowick::HomeAccessibility {

std::string getMobileAppFeaturesLabel() {
    std::string label;
    for (const MobileAppFeature& feature : getMobileAppFeatures) {
        if (!label.empty()) label += ' ';
        label += std::string(feature.title) + ". " + std::string(feature.detail);
    }
    return label;
}

std::string driveImagesLabel(long long count) {
    if (count == 0) return "Images on this drive. No images yet — add one to boot from it.";
    if (count == 1) return "Images on this drive. 1 image.";
    return "Images on this drive. " + std::to_string(count) + " images.";
}

std::string hiddenFixedStorageNotice(long long count) {
    const std::string countPhrase =
        count == 1 ? "1 SSD or hard drive is" : std::to_string(count) + " SSDs or hard drives are";
    return countPhrase + " hidden to protect the data on it. To use one, choose View ▸ Show External SSDs and Hard "
                         "Drives.";
}

std::string progressLabel(HomeOperationKind kind, std::string_view stageLabel, double fraction) {
    std::string_view phrase;
    switch (kind) {
        case HomeOperationKind::prepare: phrase = "Preparing drive"; break;
        case HomeOperationKind::reinstall: phrase = "Reinstalling Ventoy"; break;
        case HomeOperationKind::update: phrase = "Updating Ventoy"; break;
        case HomeOperationKind::removeVentoy: phrase = "Removing Ventoy"; break;
        case HomeOperationKind::addImage: phrase = "Adding image"; break;
        case HomeOperationKind::writeRawImage: phrase = "Writing disk image"; break;
    }
    return std::string(phrase) + ", " + std::string(stageLabel) + ", " + std::to_string(percent(fraction)) +
           " percent";
}

long long percent(double fraction) {
    // Outside its domain (not finite, or beyond 0…1) a progress label still reads sanely.
    if (std::isnan(fraction)) return 0;
    const double value = std::round(fraction * 100.0);  // halves away from zero
    if (value <= 0) return 0;
    if (value >= 100) return 100;
    return static_cast<long long>(value);
}

}  // namespace marlowick::HomeAccessibility
