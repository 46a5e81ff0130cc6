#include "Assets/VentoyVersionRegistry.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {

void PrintTo(const VentoyRegistryRelease& release, std::ostream* os) {
    CaseDescription description("VentoyRegistryRelease");
    description.field("version", release.manifest.version())
        .field("enabled", release.enabled)
        .field("current", release.current)
        .field("visible", release.visible);
    if (release.verifiedOn) description.field("verifiedOn", *release.verifiedOn);
    *os << description.str();
}

void PrintTo(const VentoyVersionRegistry& registry, std::ostream* os) {
    *os << "VentoyVersionRegistry[";
    for (std::size_t i = 0; i < registry.releases.size(); ++i) {
        if (i > 0) *os << ", ";
        PrintTo(registry.releases[i], os);
    }
    *os << "]";
}

}  // namespace marlowick
