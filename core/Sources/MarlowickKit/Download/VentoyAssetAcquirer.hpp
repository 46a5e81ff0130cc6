#pragma once
// The one way the application obtains the boot files of a release before it prepares,
// reinstalls or updates a drive: from the boot-file cache when its entry still holds the
// manifest's files, otherwise by fetching the release archive, extracting and checking
// the three files and storing them as the version's entry.
//
// A cache entry counts only when each of its three files hashes to the manifest's
// decompressed SHA-256 (about 33 MiB, a few hundredths of a second): a file damaged on
// disk would otherwise be handed on at every operation and refused by the helper every
// time. A damaged entry is downloaded again and replaced whole.
//
// Blocking, on the caller's thread (never the interface thread); never throws. Phases
// are reported on that thread as they happen, so the receiver must be cheap and hop to
// its own thread itself. The cancel query is handed to the fetch: a cancelled download
// ends within about a second as a `download` failure, and nothing is cached. Logs
// nothing; the caller records the outcome.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "Download/CurlHttpsClient.hpp"
#include "Download/VentoyArchiveDownloader.hpp"
#include "Assets/VentoyAssetExtractor.hpp"
#include "Assets/VentoyAssetProvider.hpp"
#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick {

// Reported in this order: checkingCache, then either alreadyCached (the last), or
// downloading for every progress report of the fetch, extracting, caching and ready (the
// last). A failure ends the sequence where it happened.
struct VentoyAcquisitionPhase {
    struct CheckingCache {
        bool operator==(const CheckingCache&) const = default;
    };
    struct AlreadyCached {
        bool operator==(const AlreadyCached&) const = default;
    };
    struct Downloading {
        double fraction;  // 0 to 1, as the fetch reported it
        bool operator==(const Downloading&) const = default;
    };
    struct Extracting {
        bool operator==(const Extracting&) const = default;
    };
    struct Caching {
        bool operator==(const Caching&) const = default;
    };
    struct Ready {
        bool operator==(const Ready&) const = default;
    };
    using Case = std::variant<CheckingCache, AlreadyCached, Downloading, Extracting, Caching, Ready>;

    Case value;
    bool operator==(const VentoyAcquisitionPhase&) const = default;
};

// "checkingCache", "downloading(fraction: 0.5)", …
[[nodiscard]] std::string render(const VentoyAcquisitionPhase& phase);
void PrintTo(const VentoyAcquisitionPhase& phase, std::ostream* os);

struct VentoyAcquisitionReason {
    struct Extraction {
        VentoyExtractionReason reason;
        bool operator==(const Extraction&) const = default;
    };
    struct Cache {
        VentoyCacheReason reason;
        bool operator==(const Cache&) const = default;
    };
    struct Download {
        bool operator==(const Download&) const = default;
    };
    using Case = std::variant<Extraction, Cache, Download>;

    Case value;
    bool operator==(const VentoyAcquisitionReason&) const = default;
};

// "extraction(malformed)", "cache(io)", "download"
[[nodiscard]] std::string render(const VentoyAcquisitionReason& reason);
void PrintTo(const VentoyAcquisitionReason& reason, std::ostream* os);

struct VentoyAcquisitionResult {
    struct Acquired {
        VentoyAssetSet set;
        bool operator==(const Acquired&) const = default;
    };
    struct Failure {
        VentoyAcquisitionReason reason;
        // The fetch's error text ("httpStatus(404)", curl's own text, "cancelled"), or the
        // extractor's or the cache's detail unchanged.
        std::string detail;
        bool operator==(const Failure&) const = default;
    };
    using Case = std::variant<Acquired, Failure>;

    Case value;
    bool operator==(const VentoyAcquisitionResult&) const = default;
};

void PrintTo(const VentoyAcquisitionResult& result, std::ostream* os);

class VentoyAssetAcquirer {
public:
    using PhaseCallback = std::function<void(const VentoyAcquisitionPhase&)>;
    using ProgressCallback = VentoyArchiveDownloader::ProgressCallback;
    using CancelQuery = VentoyArchiveDownloader::CancelQuery;
    // Fetches the whole archive, reporting fractions from 0 to 1 and polling the cancel
    // query; throws on any failure (its what() becomes the failure's detail). Called on
    // the acquiring thread.
    using FetchArchive = std::function<std::vector<std::uint8_t>(const ProgressCallback&, const CancelQuery&)>;

    // The archive from `downloadBaseUrl` of the manifest through `client`: the downloader
    // with its size cap, digest check and cancel.
    [[nodiscard]] static FetchArchive downloaderFetch(
        VentoyReleaseManifest manifest, CurlHttpsClient client = CurlHttpsClient(),
        std::chrono::milliseconds idleTimeout = VentoyArchiveDownloader::defaultIdleTimeout);

    // The cache is "<cacheRoot>/ventoy-assets". Without a fetch, the archive is downloaded
    // from the release host with the production client (downloaderFetch(manifest)).
    VentoyAssetAcquirer(VentoyReleaseManifest manifest, const std::filesystem::path& cacheRoot,
                        FetchArchive fetchArchive = {});

    [[nodiscard]] const VentoyReleaseManifest& manifest() const { return manifestValue; }
    [[nodiscard]] const VentoyAssetProvider& provider() const { return providerValue; }

    [[nodiscard]] VentoyAcquisitionResult acquire(const PhaseCallback& onPhase,
                                                  const CancelQuery& isCancelled = {}) const;

    // The cache entry of the manifest's version when it is complete and every file
    // hashes to the manifest's decompressed SHA-256; nullopt otherwise.
    [[nodiscard]] std::optional<VentoyAssetSet> verifiedCached() const;

private:
    VentoyReleaseManifest manifestValue;
    VentoyAssetProvider providerValue;
    FetchArchive fetch;
};

}  // namespace marlowick
