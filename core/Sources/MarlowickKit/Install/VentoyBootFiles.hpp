#pragma once
// The three cached boot files of a release, read once into memory and checked against
// the release manifest before anything is written. The installer writes from these very
// bytes, so a file that changes on disk after the check cannot reach the drive, and a
// corrupted or swapped file of the right size is refused instead of being written and
// then "verified" against itself. The files are opened through the opener given (in the
// helper, with the rights of the user who named them) and read no further than the
// manifest says they are long. Reads files only; touches no device.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Block/FileOpener.hpp"

namespace marlowick {

struct VentoyBootFiles {
    std::vector<std::uint8_t> bootImg;
    std::vector<std::uint8_t> coreImg;
    std::vector<std::uint8_t> ventoyDiskImg;

    [[nodiscard]] std::span<const std::uint8_t> bytes(VentoyAsset asset) const;

    // The size of each cached file as opened, 0 for one that cannot be opened or is no
    // regular file.
    [[nodiscard]] static std::map<VentoyAsset, std::int64_t> sizes(const VentoyAssetSet& assets,
                                                                   const FileOpener& opener);

    // Reads each file, in the order boot.img, core.img, ventoy.disk.img, and compares its
    // SHA-256 with the manifest's decompressed digest. A file whose size is not the
    // manifest's is refused before any of it is read. The first file refused gives the
    // text, which never holds the digest of what was read:
    // "core.img: could not read the cached asset file",
    // "core.img is 4096 bytes, expected 1048576",
    // "core.img does not match the release manifest's SHA-256 <expected>".
    [[nodiscard]] static std::variant<VentoyBootFiles, std::string> load(const VentoyAssetSet& assets,
                                                                         const VentoyReleaseManifest& manifest,
                                                                         const FileOpener& opener);

    bool operator==(const VentoyBootFiles&) const = default;
};

}  // namespace marlowick
