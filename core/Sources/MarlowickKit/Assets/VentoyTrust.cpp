#include "Assets/VentoyTrust.hpp"

#include <vector>

#include "Assets/VentoyRegistryParser.hpp"
#include "Assets/VentoyRegistrySignature.hpp"

namespace marlowick::VentoyTrust {

std::optional<VentoyVersionRegistry> verifiedRegistry(const SignedRegistryBytes& registry,
                                                      std::string_view publicKeyBase64) noexcept {
    if (!VentoyRegistrySignature::verify(registry.payload, registry.signature, publicKeyBase64)) return std::nullopt;
    return VentoyRegistryParser::parse(registry.payload);
}

std::optional<VentoyReleaseManifest> trustedManifest(const std::string& version,
                                                     const std::optional<SignedRegistryBytes>& registry,
                                                     std::span<const VentoyReleaseManifest> builtIn,
                                                     std::string_view publicKeyBase64) {
    std::vector<VentoyRegistryRelease> matches;
    if (registry) {
        if (std::optional<VentoyVersionRegistry> verified = verifiedRegistry(*registry, publicKeyBase64)) {
            for (VentoyRegistryRelease& release : verified->releases) {
                if (release.manifest.version() == version) matches.push_back(std::move(release));
            }
        }
    }
    for (const VentoyRegistryRelease& match : matches) {
        if (!match.enabled) return std::nullopt;
    }
    for (const VentoyReleaseManifest& manifest : builtIn) {
        if (manifest.version() == version) return manifest;
    }
    if (!matches.empty()) return std::move(matches.front().manifest);
    return std::nullopt;
}

VentoyAssetSet assetSet(const std::string& version, const std::string& bootImgPath, const std::string& coreImgPath,
                        const std::string& ventoyDiskImgPath) {
    return VentoyAssetSet{
        .version = version,
        .files = {{VentoyAsset::bootImg, bootImgPath},
                  {VentoyAsset::coreImg, coreImgPath},
                  {VentoyAsset::ventoyDiskImg, ventoyDiskImgPath}},
    };
}

}  // namespace marlowick::VentoyTrust
