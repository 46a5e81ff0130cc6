#include "Home/VentoyUpdatePresentation.hpp"

#include <utility>

#include "Detect/VentoyVersionReader.hpp"

namespace marlowick {
namespace {

VentoyUpdatePresentation::Status statusOf(const std::optional<std::string>& installed, const std::string& recommended) {
    using Status = VentoyUpdatePresentation::Status;
    const std::optional<bool> newer = VentoyVersionReader::updateAvailable(installed, recommended);
    if (!newer) return Status::versionUnknown;
    return *newer ? Status::updateAvailable : Status::upToDate;
}

}  // namespace

VentoyUpdatePresentation::VentoyUpdatePresentation(const std::optional<std::string>& installedVersion,
                                                   std::string recommendedVersion)
    : status(statusOf(installedVersion, recommendedVersion)), recommended(std::move(recommendedVersion)) {}

std::string VentoyUpdatePresentation::statusLabel() const {
    switch (status) {
        case Status::versionUnknown: return "Ventoy installed";
        case Status::updateAvailable: return "Update available";
        case Status::upToDate: return "Ready";
    }
    return {};
}

std::string VentoyUpdatePresentation::updateLinkTitle() const {
    return offersUpdate() ? "Update to " + recommended : std::string("Reinstall boot files");
}

}  // namespace marlowick
