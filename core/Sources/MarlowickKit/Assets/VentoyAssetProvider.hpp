#pragma once
// The boot-file cache: one directory per release version under "<cache root>/ventoy-assets",
// holding boot.img, core.img, ventoy.disk.img and a ".complete" marker (the archive's
// SHA-256 and the version, one per line). An entry counts as cached when its marker is
// there and its three files have the manifest's decompressed sizes; contents are not
// hashed here (the helper hashes what it writes).
//
// A store is staged in "<version>.partial" beside the entry, every file written
// atomically and synced, and only then moved into place. An existing entry is first moved
// aside to "<version>.old" and removed after the move; when the move fails it is put
// back, so a failed store never loses a usable entry. Directories are private (0700),
// files readable by their owner only (0600).
//
// A version becomes a directory name, so it must be a plain name first (see
// isPlainVersionComponent): a registry document must never lead a path out of the cache.
//
// Synchronous file-system work on the caller's thread; two stores of one version at once
// share their staging path and are not supported. Never throws.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Text/RawValueTable.hpp"

namespace marlowick {

enum class VentoyCacheReason { incompleteAssets, io };

inline constexpr RawValueTable<VentoyCacheReason, 2> ventoyCacheReasonRawValues{{"incompleteAssets", "io"}};

struct VentoyCacheResult {
    struct Stored {
        VentoyAssetSet set;
        bool operator==(const Stored&) const = default;
    };
    struct Failure {
        VentoyCacheReason reason;
        std::string detail;  // "failed to cache 1.1.17: mkdir /c/ventoy-assets: errno 13 (Permission denied)"
        bool operator==(const Failure&) const = default;
    };
    using Case = std::variant<Stored, Failure>;

    Case value;
    bool operator==(const VentoyCacheResult&) const = default;
};

void PrintTo(const VentoyCacheResult& result, std::ostream* os);

// Only ASCII letters, digits, ".", "_", "+" and "-", 1 to 64 characters, and neither "."
// nor "..": a name that stays one directory below the cache, whatever it came from.
[[nodiscard]] bool isPlainVersionComponent(std::string_view version);

class VentoyAssetProvider {
public:
    inline static constexpr std::string_view assetsDirectoryName = "ventoy-assets";
    inline static constexpr std::string_view markerFileName = ".complete";
    inline static constexpr std::string_view stagingSuffix = ".partial";
    inline static constexpr std::string_view asideSuffix = ".old";
    inline static constexpr std::size_t maximumVersionLength = 64;

    // Moves a directory: 0 on success, else the errno value. The cache renames through
    // this so that tests can make a move fail where permissions cannot stop root.
    using RenameDirectory = std::function<int(const std::filesystem::path& from, const std::filesystem::path& to)>;

    explicit VentoyAssetProvider(const std::filesystem::path& cacheRoot);
    VentoyAssetProvider(const std::filesystem::path& cacheRoot, RenameDirectory renameDirectory);

    [[nodiscard]] const std::filesystem::path& assetsRoot() const { return root; }

    // The entry of the manifest's version when it is complete; nullopt otherwise,
    // including for a version that is not a plain name.
    [[nodiscard]] std::optional<VentoyAssetSet> cached(const VentoyReleaseManifest& manifest) const;
    [[nodiscard]] bool isCached(const VentoyReleaseManifest& manifest) const { return cached(manifest).has_value(); }

    // Stores the three boot files of `version` as its complete entry, replacing any entry
    // of that version. `incompleteAssets` when a file is missing (nothing touched); `io`
    // for a version that is not a plain name (nothing touched) and for any failed file
    // operation (staging removed, an existing entry kept).
    [[nodiscard]] VentoyCacheResult store(const std::string& version,
                                          const std::map<VentoyAsset, std::vector<std::uint8_t>>& assets,
                                          const std::string& archiveSha256) const;

private:
    std::filesystem::path root;
    RenameDirectory renameDirectory;
};

}  // namespace marlowick
