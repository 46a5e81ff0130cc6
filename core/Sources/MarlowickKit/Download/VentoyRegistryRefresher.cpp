#include "Download/VentoyRegistryRefresher.hpp"

#include <exception>
#include <optional>

#include "Assets/VentoyRegistryParser.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

using Outcome = VentoyRegistryRefresher::Outcome;

Outcome skipped(std::string reason) { return Outcome{Outcome::Skipped{std::move(reason)}}; }

}  // namespace

const std::string_view VentoyRegistryRefresher::registryURL = MARLOWICK_REGISTRY_URL;

VentoyRegistryRefresher::Fetch VentoyRegistryRefresher::curlFetch(std::shared_ptr<const CurlHttpsClient> client,
                                                                  std::chrono::milliseconds idleTimeout) {
    if (!client) client = std::make_shared<const CurlHttpsClient>();
    return [client = std::move(client), idleTimeout](const std::string& url) {
        return client->fetch(url, idleTimeout, maximumFetchBytes);
    };
}

VentoyRegistryRefresher::VentoyRegistryRefresher(VentoyRegistryCache cache, std::string url,
                                                 std::string publicKeyBase64, Fetch fetch)
    : address(std::move(url)),
      registryCache(std::move(cache)),
      fetchResource(std::move(fetch)),
      key(std::move(publicKeyBase64)) {}

Outcome VentoyRegistryRefresher::refresh() const {
    std::vector<std::uint8_t> payload;
    std::vector<std::uint8_t> signature;
    try {
        const std::optional<std::string> signatureAddress = HttpsUrl::appendingToLastPathComponent(address, ".sig");
        payload = fetchResource(address);
        signature = fetchResource(signatureAddress.value_or(address + ".sig"));
    } catch (const std::exception& e) {
        return skipped(std::string("fetch failed: ") + e.what());
    } catch (...) {
        return skipped("fetch failed: unknown error");
    }
    if (!VentoyRegistrySignature::verify(payload, signature, key)) {
        return skipped("registry signature mismatch");
    }
    const std::optional<VentoyVersionRegistry> registry = VentoyRegistryParser::parse(payload);
    if (!registry) return skipped("registry malformed");
    if (registryCache.store(payload, signature)) return skipped("cache write failed");
    return Outcome{Outcome::Updated{static_cast<std::int64_t>(registry->releases.size())}};
}

std::string render(const VentoyRegistryRefresher::Outcome& outcome) {
    if (const auto* updated = std::get_if<Outcome::Updated>(&outcome.value)) {
        return CaseDescription("updated").field("releases", updated->releases).str();
    }
    return CaseDescription("skipped").field("reason", std::get<Outcome::Skipped>(outcome.value).reason).str();
}

void PrintTo(const VentoyRegistryRefresher::Outcome& outcome, std::ostream* os) { *os << render(outcome); }

}  // namespace marlowick
