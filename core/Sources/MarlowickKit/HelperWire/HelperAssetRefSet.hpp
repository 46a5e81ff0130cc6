#pragma once
// Which Ventoy boot files a command writes: the release version, the absolute paths of the
// three decompressed files in the application's cache, and the signed release registry the
// application holds, if any. The helper opens and reads the files itself; which versions it
// accepts is decided from `version`, the built-in releases and `registry`, not here.

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyRegistrySignedBytes.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

// The release registry exactly as signed, as the application's registry cache held it.
// Both halves travel as base64 text.
using HelperSignedRegistry = VentoyRegistrySignedBytes;

struct HelperAssetRefSet {
    std::string version;  // "1.1.15"
    std::string bootImgPath;
    std::string coreImgPath;
    std::string ventoyDiskImgPath;
    std::optional<HelperSignedRegistry> registry;

    HelperAssetRefSet() = default;
    HelperAssetRefSet(std::string version, std::string bootImgPath, std::string coreImgPath,
                      std::string ventoyDiskImgPath, std::optional<HelperSignedRegistry> registry);
    // From a complete cached set; a set without all three files is a caller error (std::out_of_range).
    HelperAssetRefSet(const VentoyAssetSet& assets, std::optional<HelperSignedRegistry> registry);

    // The helper's view: the same version, each path taken as a file path (not parsed as a URL).
    [[nodiscard]] VentoyAssetSet assetSet() const;

    // The release that vouches for `version`: a registry release vetoes when disabled,
    // then the first built-in manifest of that version, then the first release of the
    // registry, once its signature verifies under `publicKeyBase64`. nullopt when none
    // does. The helper passes VentoyReleaseManifest::available() and the pinned key.
    [[nodiscard]] std::optional<VentoyReleaseManifest> trustedManifest(std::span<const VentoyReleaseManifest> builtIn,
                                                                       std::string_view publicKeyBase64) const;

    bool operator==(const HelperAssetRefSet&) const = default;
};

void PrintTo(const HelperAssetRefSet& assets, std::ostream* os);

template <>
struct JsonCoding<HelperSignedRegistry> {
    static nlohmann::json encode(const HelperSignedRegistry& registry);
    static HelperSignedRegistry decode(const nlohmann::json& json, const JsonPath& path);
};

// Paths holding a NUL byte are refused.
template <>
struct JsonCoding<HelperAssetRefSet> {
    static nlohmann::json encode(const HelperAssetRefSet& assets);
    static HelperAssetRefSet decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
