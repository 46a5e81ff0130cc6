#pragma once
// The three cached boot files of a release, read once into memory and checked against
// the release manifest before anything is written. The installer writes from these very
// bytes, so a file that changes on disk after the check cannot reach the drive, and a
// corrupted or swapped file of the right size is refused instead of being written and
// then "verified" against itself. Reads files only; touches no device.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick {

struct VentoyBootFiles {
    std::vector<std::uint8_t> bootImg;
    std::vector<std::uint8_t> coreImg;
    std::vector<std::uint8_t> ventoyDiskImg;

    [[nodiscard]] std::span<const std::uint8_t> bytes(VentoyAsset asset) const;

    // The size attribute of each cached file, 0 for one that cannot be measured.
    [[nodiscard]] static std::map<VentoyAsset, std::int64_t> sizes(const VentoyAssetSet& assets);

    // Reads each file whole, in the order boot.img, core.img, ventoy.disk.img, and
    // compares its SHA-256 with the manifest's decompressed digest. The first file that
    // cannot be read or does not match gives the refusal text:
    // "core.img: could not read the cached asset file",
    // "core.img SHA-256 <actual> does not match the release manifest's <expected>".
    [[nodiscard]] static std::variant<VentoyBootFiles, std::string> load(const VentoyAssetSet& assets,
                                                                         const VentoyReleaseManifest& manifest);

    bool operator==(const VentoyBootFiles&) const = default;
};

}  // namespace marlowick
