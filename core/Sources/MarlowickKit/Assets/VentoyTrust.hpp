#pragma once
// Which release description vouches for a set of boot files the helper is asked to
// write. The helper runs with administrator rights, so it takes no one's word for the
// release: only a built-in release, or a release of a registry whose signature it has
// checked itself, counts. Pure; no failure and no side effect: a miss is nullopt.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Assets/VentoyVersionRegistry.hpp"

namespace marlowick::VentoyTrust {

// The registry document's exact bytes and their detached DER signature, as the
// application's registry cache held them.
struct SignedRegistryBytes {
    std::span<const std::uint8_t> payload;
    std::span<const std::uint8_t> signature;
};

// The registry's releases once its signature verifies under `publicKeyBase64`; nullopt
// for a bad signature or an unreadable document. The signature is checked before a
// single byte is parsed.
[[nodiscard]] std::optional<VentoyVersionRegistry> verifiedRegistry(const SignedRegistryBytes& registry,
                                                                    std::string_view publicKeyBase64) noexcept;

// The manifest that vouches for `version` (compared as exact text), decided in order:
//  1. the matches are the releases of `registry` with that version, in registry order;
//     no registry, a bad signature or an unreadable document means no matches;
//  2. any match that is not enabled vetoes the version, even a built-in one;
//  3. the first built-in manifest with that version;
//  4. the first match's manifest;
//  5. nullopt.
// Only `enabled` counts here; a registry's description of a built-in version never
// replaces the built-in one. The helper passes VentoyReleaseManifest::available() and
// VentoyRegistrySignature::pinnedPublicKeyBase64.
[[nodiscard]] std::optional<VentoyReleaseManifest> trustedManifest(const std::string& version,
                                                                   const std::optional<SignedRegistryBytes>& registry,
                                                                   std::span<const VentoyReleaseManifest> builtIn,
                                                                   std::string_view publicKeyBase64);

// The three boot-file paths as an asset set, unchanged; does not look at the files.
[[nodiscard]] VentoyAssetSet assetSet(const std::string& version, const std::string& bootImgPath,
                                      const std::string& coreImgPath, const std::string& ventoyDiskImgPath);

}  // namespace marlowick::VentoyTrust
