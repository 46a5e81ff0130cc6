#pragma once
// The releases a signed registry document describes, in the document's order, after
// the records that failed validation were dropped. Besides the release itself each
// entry carries the registry's flags: `enabled` (the release may be used; a disabled
// entry also makes the helper refuse that version, built in or not), `current` (the
// registry's recommendation) and `visible` (offered in the user's version choice).
// `verifiedOn` is carried along and compared, nothing decides on it.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick {

struct VentoyRegistryRelease {
    VentoyReleaseManifest manifest;
    bool enabled = false;
    bool current = false;
    bool visible = false;
    std::optional<std::string> verifiedOn;

    bool operator==(const VentoyRegistryRelease&) const = default;
};

struct VentoyVersionRegistry {
    std::vector<VentoyRegistryRelease> releases;  // empty is a valid registry

    bool operator==(const VentoyVersionRegistry&) const = default;
};

void PrintTo(const VentoyRegistryRelease& release, std::ostream* os);
void PrintTo(const VentoyVersionRegistry& registry, std::ostream* os);

}  // namespace marlowick
