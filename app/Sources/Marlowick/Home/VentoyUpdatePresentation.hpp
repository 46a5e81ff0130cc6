#pragma once
// Whether a ready drive's boot files are older than the release Marlowick recommends, and
// what the home screen says about it: the drive card's status and the hero's update link.
// One comparison for both, so the card and the link never disagree. A pure value of two
// version texts.

#include <optional>
#include <string>

namespace marlowick {

struct VentoyUpdatePresentation {
    enum class Status {
        versionUnknown,   // the installed version, or the recommended one, cannot be read
        updateAvailable,  // the recommended release is newer
        upToDate,
    };

    VentoyUpdatePresentation(const std::optional<std::string>& installedVersion, std::string recommendedVersion);

    // An update is offered only when the installed version is known to be older.
    [[nodiscard]] bool offersUpdate() const { return status == Status::updateAvailable; }
    // "Ventoy installed", "Update available" or "Ready".
    [[nodiscard]] std::string statusLabel() const;
    // "Update to <recommended>" when an update is offered, else "Reinstall boot files".
    [[nodiscard]] std::string updateLinkTitle() const;

    Status status;
    std::string recommended;

    bool operator==(const VentoyUpdatePresentation&) const = default;
};

}  // namespace marlowick
