#include "Home/VentoyCatalogModel.hpp"

#include <charconv>
#include <system_error>
#include <thread>

#include "Assets/VentoyRegistrySignature.hpp"
#include "Diagnostics/MarlowickLog.hpp"

namespace marlowick {
namespace {

std::shared_ptr<VentoyReleaseCatalog> makeCatalog(const VentoyCatalogModel::Options& options) {
    std::optional<VentoyVersionRegistry> registry;
    if (options.registryEnabled) registry = options.cache.load(options.publicKeyBase64);
    return std::make_shared<VentoyReleaseCatalog>(std::move(registry), VentoyReleaseManifest::pinned(),
                                                  VentoyReleaseManifest::available(),
                                                  VentoyCatalogModel::applicationVersion(options.buildNumber));
}

VentoyCatalogModel::Options withDefaults(VentoyCatalogModel::Options options) {
    if (options.publicKeyBase64.empty()) options.publicKeyBase64 = VentoyRegistrySignature::pinnedPublicKeyBase64;
    if (options.registryUrl.empty()) options.registryUrl = VentoyRegistryRefresher::registryURL;
    if (!options.fetch) options.fetch = VentoyRegistryRefresher::curlFetch();
    return options;
}

}  // namespace

VentoyCatalogModel::VentoyCatalogModel(MainExecutor mainExecutor, Options options)
    : executor(std::move(mainExecutor)),
      settings(withDefaults(std::move(options))),
      releaseCatalog(makeCatalog(settings)),
      recommendedValue(releaseCatalog->recommended()),
      availableValue(releaseCatalog->available()),
      self(std::make_shared<VentoyCatalogModel*>(this)) {}

VentoyCatalogModel::Options VentoyCatalogModel::standardOptions(const std::filesystem::path& cacheRoot,
                                                                std::optional<std::string> buildNumber) {
    return Options{
        .cache = VentoyRegistryCache(cacheRoot / VentoyRegistryCache::directoryName),
        .buildNumber = std::move(buildNumber),
        .registryEnabled = true,
        .publicKeyBase64 = std::string(VentoyRegistrySignature::pinnedPublicKeyBase64),
        .registryUrl = std::string(VentoyRegistryRefresher::registryURL),
        .fetch = VentoyRegistryRefresher::curlFetch(),
    };
}

std::int64_t VentoyCatalogModel::applicationVersion(const std::optional<std::string>& buildNumber) {
    if (!buildNumber || buildNumber->empty()) return 1;
    const std::string& text = *buildNumber;
    // from_chars takes a minus sign but no plus sign, and must not see "+-1".
    const std::size_t start = text.front() == '+' ? 1 : 0;
    if (start == 1 && (text.size() == 1 || text[1] == '-')) return 1;
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + start, end, value);
    return error == std::errc() && stop == end ? value : 1;
}

std::optional<HelperSignedRegistry> VentoyCatalogModel::signedRegistry() const {
    if (!settings.registryEnabled) return std::nullopt;
    return settings.cache.signedBytes(settings.publicKeyBase64);
}

void VentoyCatalogModel::refresh(std::function<void()> done) {
    if (!settings.registryEnabled) {
        if (done) executor(std::move(done));
        return;
    }
    const VentoyRegistryRefresher refresher(settings.cache, settings.registryUrl, settings.publicKeyBase64,
                                            settings.fetch);
    std::weak_ptr<VentoyCatalogModel*> weakSelf = self;
    // Shared, so that `done` is still here to run when no thread can be started.
    auto finished = std::make_shared<std::function<void()>>(std::move(done));
    try {
        std::thread([refresher, post = executor, weakSelf = std::move(weakSelf), finished] {
            VentoyRegistryRefresher::Outcome outcome = refresher.refresh();
            post([weakSelf, outcome = std::move(outcome), finished] {
                const std::shared_ptr<VentoyCatalogModel*> model = weakSelf.lock();
                if (!model) return;
                (*model)->finish(outcome);
                if (*finished) (*finished)();
            });
        }).detach();
    } catch (const std::system_error&) {
        // No thread for it: this refresh does not happen, and the published values stay.
        if (*finished) executor(*finished);
    }
}

void VentoyCatalogModel::finish(const VentoyRegistryRefresher::Outcome& outcome) {
    MarlowickLog::ventoyRegistryRefreshed(render(outcome));
    if (!std::holds_alternative<VentoyRegistryRefresher::Outcome::Updated>(outcome.value)) return;
    releaseCatalog->update(settings.cache.load(settings.publicKeyBase64));
    observerList.assign(recommendedValue, releaseCatalog->recommended(), Property::recommended);
    observerList.assign(availableValue, releaseCatalog->available(), Property::available);
}

}  // namespace marlowick
