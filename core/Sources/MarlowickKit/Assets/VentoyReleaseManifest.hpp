#pragma once
// The trusted description of one Ventoy release: the archive to fetch (name, size,
// SHA-256) and, for each of the three boot files, its path in the archive and its
// SHA-256 and size both as stored and decompressed. Every value that exists has passed
// the validating constructors below, so the fields are read-only. Built-in releases
// are made once, on first use, and shared (thread-safe).

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyManifestError.hpp"

namespace marlowick {

class VentoyReleaseManifest {
public:
    // One boot file's member in the release archive with its digests and sizes.
    class AssetChecksum {
    public:
        // Throws VentoyManifestError, checking in this order: compressed digest length,
        // decompressed digest length, compressed size ≥ 1, decompressed size ≥ 1.
        // The member path is kept as given.
        AssetChecksum(std::string memberPath, std::string compressedSha256, std::int64_t compressedSizeBytes,
                      std::string decompressedSha256, std::int64_t decompressedSizeBytes);

        [[nodiscard]] const std::string& memberPath() const { return memberPathValue; }
        [[nodiscard]] const std::string& compressedSha256() const { return compressedSha256Value; }
        [[nodiscard]] std::int64_t compressedSizeBytes() const { return compressedSizeValue; }
        [[nodiscard]] const std::string& decompressedSha256() const { return decompressedSha256Value; }
        [[nodiscard]] std::int64_t decompressedSizeBytes() const { return decompressedSizeValue; }

        bool operator==(const AssetChecksum&) const = default;

    private:
        std::string memberPathValue;
        std::string compressedSha256Value;
        std::int64_t compressedSizeValue;
        std::string decompressedSha256Value;
        std::int64_t decompressedSizeValue;
    };

    static constexpr std::int64_t sha256HexLength = 64;
    // 512-byte sectors of core.img (1048064 bytes) and of ventoy.disk.img (32 MiB).
    static constexpr std::int64_t coreImgSectors = 2047;
    static constexpr std::int64_t ventoyDiskImgSectors = 65536;
    static constexpr std::string_view defaultDownloadBaseUrl = "https://github.com/ventoy/Ventoy/releases/download";
    static constexpr std::string_view projectSourceUrl = "https://github.com/ventoy/Ventoy";

    // Throws the first VentoyManifestError that applies, checking in this order: blank
    // version (after trimming white space and line ends), archive digest length, archive
    // size ≥ 1, exactly the three assets, minimum app version ≥ 1, an "https://" base.
    // The version is stored untrimmed; the archive name is not checked. Digest texts are
    // checked for length only, not for hexadecimal digits or their case.
    VentoyReleaseManifest(std::string version, std::string archiveName, std::string archiveSha256,
                          std::int64_t archiveSizeBytes, std::map<VentoyAsset, AssetChecksum> assets,
                          std::int64_t minimumAppVersion, std::string downloadBaseUrl);

    [[nodiscard]] const std::string& version() const { return versionValue; }
    [[nodiscard]] const std::string& archiveName() const { return archiveNameValue; }
    [[nodiscard]] const std::string& archiveSha256() const { return archiveSha256Value; }
    [[nodiscard]] std::int64_t archiveSizeBytes() const { return archiveSizeValue; }
    [[nodiscard]] const std::map<VentoyAsset, AssetChecksum>& assets() const { return assetsValue; }
    [[nodiscard]] std::int64_t minimumAppVersion() const { return minimumAppVersionValue; }
    [[nodiscard]] const std::string& downloadBaseUrl() const { return downloadBaseUrlValue; }

    // Every manifest holds all three assets, so this always finds one.
    [[nodiscard]] const AssetChecksum& checksum(VentoyAsset asset) const { return assetsValue.at(asset); }
    // The upstream release page of this version.
    [[nodiscard]] std::string releaseSourceURLString() const;

    // The built-in releases: pinned (and recommended) is 1.1.17.
    [[nodiscard]] static const VentoyReleaseManifest& pinned();
    [[nodiscard]] static const VentoyReleaseManifest& recommended();
    [[nodiscard]] static const VentoyReleaseManifest& v1_1_16();
    [[nodiscard]] static const VentoyReleaseManifest& v1_1_15();
    [[nodiscard]] static const VentoyReleaseManifest& v1_1_14();
    // Newest first: 1.1.17, 1.1.16, 1.1.15, 1.1.14.
    [[nodiscard]] static const std::vector<VentoyReleaseManifest>& available();
    // The built-in release whose version equals `version` exactly; `pinned` for an absent
    // or empty version and for one that matches none. Never fails.
    [[nodiscard]] static const VentoyReleaseManifest& manifest(const std::optional<std::string>& forVersion);

    bool operator==(const VentoyReleaseManifest&) const = default;

private:
    std::string versionValue;
    std::string archiveNameValue;
    std::string archiveSha256Value;
    std::int64_t archiveSizeValue;
    std::map<VentoyAsset, AssetChecksum> assetsValue;
    std::int64_t minimumAppVersionValue;
    std::string downloadBaseUrlValue;
};

void PrintTo(const VentoyReleaseManifest& manifest, std::ostream* os);

}  // namespace marlowick
