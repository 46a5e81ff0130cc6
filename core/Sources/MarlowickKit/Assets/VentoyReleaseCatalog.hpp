#pragma once
// The release choice of one application process: the registry it holds now, the floor
// release, the built-in releases and the application's build number. Only the registry
// changes, through update(); every accessor reads it under a lock, so the catalog may be
// read and updated from any thread. The lock is never held across a wait or a call
// into another accessor.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Assets/VentoyReleaseManifest.hpp"
#include "Assets/VentoyVersionRegistry.hpp"

namespace marlowick {

class VentoyReleaseCatalog {
public:
    VentoyReleaseCatalog(std::optional<VentoyVersionRegistry> registry, VentoyReleaseManifest floor,
                         std::vector<VentoyReleaseManifest> builtIn, std::int64_t appVersion);

    // Replaces the registry, also with none.
    void update(std::optional<VentoyVersionRegistry> registry);
    [[nodiscard]] bool usesRegistry() const;

    [[nodiscard]] VentoyReleaseManifest recommended() const;
    // The selectable releases, newest first, with the recommended one in front when it
    // is not among them.
    [[nodiscard]] std::vector<VentoyReleaseManifest> available() const;
    // The available release of exactly that version; the recommended one for no version,
    // an empty one or one that is not available. Never fails.
    [[nodiscard]] VentoyReleaseManifest manifest(const std::optional<std::string>& forVersion) const;

    [[nodiscard]] const VentoyReleaseManifest& floor() const { return floorRelease; }
    [[nodiscard]] const std::vector<VentoyReleaseManifest>& builtIn() const { return builtInReleases; }
    [[nodiscard]] std::int64_t appVersion() const { return applicationVersion; }

private:
    mutable std::mutex lock;
    std::optional<VentoyVersionRegistry> heldRegistry;
    const VentoyReleaseManifest floorRelease;
    const std::vector<VentoyReleaseManifest> builtInReleases;
    const std::int64_t applicationVersion;
};

}  // namespace marlowick
