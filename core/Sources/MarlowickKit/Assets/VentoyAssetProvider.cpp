#include "Assets/VentoyAssetProvider.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "Assets/ApplicationCacheRoot.hpp"
#include "Assets/AtomicFile.hpp"
#include "Text/ErrnoText.hpp"
#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;
using Failure = VentoyCacheResult::Failure;

bool isPlainVersionCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '+' || c == '-';
}

int systemRename(const fs::path& from, const fs::path& to) { return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno; }

// The set for an entry directory: its name is the version, the files sit inside it.
VentoyAssetSet assetSet(const fs::path& directory) {
    VentoyAssetSet set{directory.filename().string(), {}};
    for (const VentoyAsset asset : allVentoyAssets) set.files.emplace(asset, directory / outputFileName(asset));
    return set;
}

// A regular file (or anything but a directory) whose size is known.
std::optional<std::int64_t> nonDirectorySize(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(status.st_size);
}

void removeAllQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string renameText(const fs::path& from, const fs::path& to, int error) {
    return "rename " + from.string() + " to " + to.string() + ": " + errnoText(error);
}

}  // namespace

void PrintTo(const VentoyCacheResult& result, std::ostream* os) {
    if (const auto* stored = std::get_if<VentoyCacheResult::Stored>(&result.value)) {
        CaseDescription described("stored");
        described.field("version", stored->set.version);
        for (const auto& [asset, file] : stored->set.files) described.field(render(asset), file.string());
        *os << described.str();
        return;
    }
    const auto& failed = std::get<Failure>(result.value);
    *os << CaseDescription("failure")
               .rawField("reason", ventoyCacheReasonRawValues.text(failed.reason))
               .field("detail", failed.detail)
               .str();
}

bool isPlainVersionComponent(std::string_view version) {
    return !version.empty() && version.size() <= VentoyAssetProvider::maximumVersionLength && version != "." &&
           version != ".." && std::all_of(version.begin(), version.end(), isPlainVersionCharacter);
}

VentoyAssetProvider::VentoyAssetProvider(const fs::path& cacheRoot) : VentoyAssetProvider(cacheRoot, systemRename) {}

VentoyAssetProvider::VentoyAssetProvider(const fs::path& cacheRoot, RenameDirectory rename)
    : root(cacheRoot / assetsDirectoryName), renameDirectory(std::move(rename)) {}

std::optional<VentoyAssetSet> VentoyAssetProvider::cached(const VentoyReleaseManifest& manifest) const {
    if (!isPlainVersionComponent(manifest.version())) return std::nullopt;
    const fs::path entry = root / manifest.version();
    if (!nonDirectorySize(entry / markerFileName)) return std::nullopt;
    for (const VentoyAsset asset : allVentoyAssets) {
        const auto size = nonDirectorySize(entry / outputFileName(asset));
        if (!size || *size != manifest.checksum(asset).decompressedSizeBytes()) return std::nullopt;
    }
    return assetSet(entry);
}

VentoyCacheResult VentoyAssetProvider::store(const std::string& version,
                                             const std::map<VentoyAsset, std::vector<std::uint8_t>>& assets,
                                             const std::string& archiveSha256) const {
    const bool allThere = std::all_of(allVentoyAssets.begin(), allVentoyAssets.end(),
                                      [&assets](VentoyAsset asset) { return assets.contains(asset); });
    if (!allThere || assets.size() != allVentoyAssets.size()) {
        return {Failure{VentoyCacheReason::incompleteAssets,
                        "asset map covers " + std::to_string(assets.size()) + "/" +
                            std::to_string(allVentoyAssets.size()) + " assets; all are required before caching"}};
    }
    if (!isPlainVersionComponent(version)) {
        return {Failure{VentoyCacheReason::io,
                        "failed to cache " + CaseDescription::quoted(version) +
                            ": the version is not a plain directory name (1 to 64 ASCII letters, digits, "
                            "'.', '_', '+' or '-', and not '.' or '..')"}};
    }
    const auto failure = [&version](const std::string& what) {
        return VentoyCacheResult{Failure{VentoyCacheReason::io, "failed to cache " + version + ": " + what}};
    };

    const fs::path final = root / version;
    const fs::path staging = root / (version + std::string(stagingSuffix));
    const fs::path aside = root / (version + std::string(asideSuffix));
    removeAllQuietly(staging);

    // Every file synced, then the directory, before the entry can appear under its name.
    const auto stage = [&]() -> std::optional<std::string> {
        if (auto error = ApplicationCacheRoot::makePrivateDirectories(staging)) return error;
        for (const VentoyAsset asset : allVentoyAssets) {
            if (auto error = AtomicFile::write(staging / outputFileName(asset), assets.at(asset))) return error;
        }
        const std::string marker = archiveSha256 + "\n" + version + "\n";
        const auto* markerBytes = reinterpret_cast<const std::uint8_t*>(marker.data());
        if (auto error = AtomicFile::write(staging / markerFileName, {markerBytes, marker.size()})) return error;
        return AtomicFile::sync(staging);
    };
    if (const auto error = stage()) {
        removeAllQuietly(staging);
        return failure(*error);
    }

    // A ".old" left by a store that was cut off between its two moves is the only copy of
    // that entry when no entry stands in its place: put it back. Otherwise it is stale.
    std::error_code ignored;
    if (fs::exists(aside, ignored)) {
        if (!fs::exists(final, ignored)) {
            (void)renameDirectory(aside, final);
        }
        removeAllQuietly(aside);
    }
    const bool hadEntry = fs::exists(final, ignored);
    if (hadEntry) {
        if (const int error = renameDirectory(final, aside); error != 0) {
            removeAllQuietly(staging);
            return failure(renameText(final, aside, error));
        }
    }
    if (const int error = renameDirectory(staging, final); error != 0) {
        if (hadEntry) (void)renameDirectory(aside, final);
        removeAllQuietly(staging);
        return failure(renameText(staging, final, error));
    }
    removeAllQuietly(aside);
    // The moves are done; a failed sync of their directory does not undo a stored entry.
    (void)AtomicFile::sync(root);
    return {VentoyCacheResult::Stored{assetSet(final)}};
}

}  // namespace marlowick
