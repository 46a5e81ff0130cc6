#include "Assets/VentoyReleaseCatalog.hpp"

#include "Assets/VentoyVersionSelection.hpp"

namespace marlowick {

VentoyReleaseCatalog::VentoyReleaseCatalog(std::optional<VentoyVersionRegistry> registry,
                                           VentoyReleaseManifest floor, std::vector<VentoyReleaseManifest> builtIn,
                                           std::int64_t appVersion)
    : heldRegistry(std::move(registry)),
      floorRelease(std::move(floor)),
      builtInReleases(std::move(builtIn)),
      applicationVersion(appVersion) {}

void VentoyReleaseCatalog::update(std::optional<VentoyVersionRegistry> replacement) {
    const std::lock_guard guard(lock);
    heldRegistry = std::move(replacement);
}

bool VentoyReleaseCatalog::usesRegistry() const {
    const std::lock_guard guard(lock);
    return heldRegistry.has_value();
}

VentoyReleaseManifest VentoyReleaseCatalog::recommended() const {
    const std::lock_guard guard(lock);
    return VentoyVersionSelection::recommended(heldRegistry, floorRelease, builtInReleases, applicationVersion);
}

std::vector<VentoyReleaseManifest> VentoyReleaseCatalog::available() const {
    const std::lock_guard guard(lock);
    VentoyReleaseManifest chosen =
        VentoyVersionSelection::recommended(heldRegistry, floorRelease, builtInReleases, applicationVersion);
    std::vector<VentoyReleaseManifest> list =
        VentoyVersionSelection::selectable(heldRegistry, builtInReleases, applicationVersion);
    for (const VentoyReleaseManifest& entry : list) {
        if (entry.version() == chosen.version()) return list;
    }
    list.insert(list.begin(), std::move(chosen));
    return list;
}

VentoyReleaseManifest VentoyReleaseCatalog::manifest(const std::optional<std::string>& forVersion) const {
    if (!forVersion || forVersion->empty()) return recommended();
    for (VentoyReleaseManifest& entry : available()) {
        if (entry.version() == *forVersion) return std::move(entry);
    }
    // A second look: a registry update since the list above is seen here.
    return recommended();
}

}  // namespace marlowick
