#pragma once
// Fetches a fresh registry document and its signature, checks and parses them, and
// stores the pair in the cache only when both checks pass. It leaves the release
// catalog alone: the caller reloads the cache after an update. Holds no state between
// calls; refresh() blocks, so callers run it off their interface thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Download/CurlHttpsClient.hpp"
#include "Assets/VentoyRegistryCache.hpp"

namespace marlowick {

class VentoyRegistryRefresher {
public:
    // Fetches one address and returns the body; throws an std::exception whose what()
    // describes the failure. May be called from any thread.
    using Fetch = std::function<std::vector<std::uint8_t>(const std::string& url)>;

    struct Outcome {
        // A checked pair was stored; the releases that survived the parse.
        struct Updated {
            std::int64_t releases;
            bool operator==(const Updated&) const = default;
        };
        // Nothing was stored: "fetch failed: <description>", "registry signature
        // mismatch", "registry malformed" or "cache write failed".
        struct Skipped {
            std::string reason;
            bool operator==(const Skipped&) const = default;
        };
        using Case = std::variant<Updated, Skipped>;
        Case value;
        bool operator==(const Outcome&) const = default;
    };

    // The maker's registry address, fixed when the library is configured
    // (MARLOWICK_REGISTRY_URL).
    static const std::string_view registryURL;
    // Idle time-out of one fetch, and the largest document or signature accepted.
    static constexpr std::chrono::milliseconds fetchTimeout{15'000};
    static constexpr std::int64_t maximumFetchBytes = 4 * 1024 * 1024;

    // The standard fetch: a GET through `client` (the production client when none is
    // given) that accepts only a status from 200 to 299 and at most maximumFetchBytes.
    [[nodiscard]] static Fetch curlFetch(std::shared_ptr<const CurlHttpsClient> client = nullptr,
                                         std::chrono::milliseconds idleTimeout = fetchTimeout);

    VentoyRegistryRefresher(VentoyRegistryCache cache, std::string url, std::string publicKeyBase64, Fetch fetch);

    // The document, then the signature at the same address with ".sig" appended to its
    // last path component, one after the other; then the signature check, the parse and
    // the store, in that order. Never throws.
    [[nodiscard]] Outcome refresh() const;

    [[nodiscard]] const std::string& url() const { return address; }
    [[nodiscard]] const VentoyRegistryCache& cache() const { return registryCache; }

private:
    std::string address;
    VentoyRegistryCache registryCache;
    Fetch fetchResource;
    std::string key;
};

// "updated(releases: 2)", "skipped(reason: \"registry malformed\")"
[[nodiscard]] std::string render(const VentoyRegistryRefresher::Outcome& outcome);
void PrintTo(const VentoyRegistryRefresher::Outcome& outcome, std::ostream* os);

}  // namespace marlowick
