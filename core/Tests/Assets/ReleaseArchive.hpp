#pragma once
// A release-shaped archive made in the test: "ventoy-<version>/boot/boot.img",
// "…/boot/core.img.xz" and "…/ventoy/ventoy.disk.img.xz" packed by the system's tar, xz
// and gzip, with a manifest that describes it exactly. The boot files are smaller than a
// real release's (ventoy.disk.img is 2 MiB), which nothing below the installer minds.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick::test {

struct ReleaseArchive {
    std::string version;
    std::vector<std::uint8_t> archive;                          // the .tar.gz
    std::map<VentoyAsset, std::vector<std::uint8_t>> files;    // decompressed boot files
    std::map<VentoyAsset, std::vector<std::uint8_t>> members;  // as stored in the archive

    // Packs a fresh archive; the content follows from `seed`. Throws when a tool fails.
    static ReleaseArchive make(const std::string& version, unsigned seed = 1);
    // Packs the given boot files (all three) as that version's archive. Throws when a tool fails.
    static ReleaseArchive pack(const std::string& version, std::map<VentoyAsset, std::vector<std::uint8_t>> files);

    [[nodiscard]] std::string archiveName() const { return "ventoy-" + version + "-linux.tar.gz"; }
    // The manifest of this archive, published under `downloadBaseUrl`.
    [[nodiscard]] VentoyReleaseManifest manifest(const std::string& downloadBaseUrl) const;
};

// Whether the tools that pack an archive are installed.
bool canMakeReleaseArchive();

}  // namespace marlowick::test
