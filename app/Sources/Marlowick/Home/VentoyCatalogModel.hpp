#pragma once
// The application's one face of the Ventoy release catalog. It owns the process's
// VentoyReleaseCatalog, built from the cached signed registry, the built-in releases
// and the application's build number; publishes the recommended release and the list
// offered for choice; refreshes the registry from the content server when asked; and
// hands the cached, checked registry bytes to the operations that start the helper
// program.
//
// Main thread only, like every model. A refresh runs on a thread of its own (fetch,
// check, store) and comes back through the main executor, where the cache is read again
// and the new values are published. Two refreshes may overlap; the one that finishes
// last publishes last. A refresh still running when the model goes away is dropped when
// it comes back. The catalog itself may be read from any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Assets/VentoyRegistryCache.hpp"
#include "Download/VentoyRegistryRefresher.hpp"
#include "Assets/VentoyReleaseCatalog.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "HelperWire/HelperAssetRefSet.hpp"
#include "Home/MainExecutor.hpp"
#include "Home/ModelObservers.hpp"

namespace marlowick {

class VentoyCatalogModel {
public:
    enum class Property { recommended, available };

    struct Options {
        VentoyRegistryCache cache;
        // The application's build number as text; anything but a base-10 integer (an
        // optional sign, then digits, within 64 bits) counts as 1.
        std::optional<std::string> buildNumber;
        // False in the application's own test world: no cached registry is read, refresh()
        // fetches nothing and signedRegistry() is none, so only the built-in releases count.
        bool registryEnabled = true;
        // The key the registry is checked with, and where it is fetched from; the defaults
        // are the build's.
        std::string publicKeyBase64;
        std::string registryUrl;
        // How the registry is fetched; none means the standard libcurl fetch.
        VentoyRegistryRefresher::Fetch fetch;
    };

    VentoyCatalogModel(MainExecutor executor, Options options);
    VentoyCatalogModel(const VentoyCatalogModel&) = delete;
    VentoyCatalogModel& operator=(const VentoyCatalogModel&) = delete;

    // The options of the shipped application: the registry cache under `cacheRoot`, the
    // build's key and address, the standard fetch.
    [[nodiscard]] static Options standardOptions(const std::filesystem::path& cacheRoot,
                                                 std::optional<std::string> buildNumber);
    // "42" → 42; "1.2.3", "", "x" or none → 1.
    [[nodiscard]] static std::int64_t applicationVersion(const std::optional<std::string>& buildNumber);

    // As last published.
    [[nodiscard]] const VentoyReleaseManifest& recommended() const { return recommendedValue; }
    [[nodiscard]] const std::vector<VentoyReleaseManifest>& available() const { return availableValue; }
    [[nodiscard]] const std::shared_ptr<VentoyReleaseCatalog>& catalog() const { return releaseCatalog; }

    // The cached pair as it verifies at this moment; none when the registry is switched
    // off or the cache is missing or does not verify. Read anew on every call.
    [[nodiscard]] std::optional<HelperSignedRegistry> signedRegistry() const;

    // Fetches, checks and stores a fresh registry off the main thread; on an update reads
    // the cache back (checked once more), hands it to the catalog (also when that read
    // finds none) and publishes. A skip changes nothing. Every outcome is logged. `done`,
    // if given, runs on the main thread once the refresh has ended; with the registry
    // switched off it runs without anything fetched or logged.
    void refresh(std::function<void()> done = {});

    ModelObservers<Property>& observers() { return observerList; }

private:
    void finish(const VentoyRegistryRefresher::Outcome& outcome);

    MainExecutor executor;
    Options settings;
    std::shared_ptr<VentoyReleaseCatalog> releaseCatalog;
    VentoyReleaseManifest recommendedValue;
    std::vector<VentoyReleaseManifest> availableValue;
    ModelObservers<Property> observerList;
    // Refresh threads hold this weakly: a result that comes back after the model is gone
    // finds it expired. Locked and released on the main thread only.
    std::shared_ptr<VentoyCatalogModel*> self;
};

}  // namespace marlowick
