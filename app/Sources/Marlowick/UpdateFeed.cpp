#include "UpdateFeed.hpp"

#include <nlohmann/json.hpp>

#include "Download/CurlHttpsClient.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "Detect/VentoyVersionReader.hpp"

namespace marlowick::UpdateFeed {

std::optional<UpdateCheckResult::NewerVersion> parse(const std::vector<std::uint8_t>& document) {
    const nlohmann::json feed = nlohmann::json::parse(document.begin(), document.end(), nullptr, false);
    if (!feed.is_object()) return std::nullopt;
    const auto version = feed.find("version");
    const auto page = feed.find("downloadPage");
    if (version == feed.end() || !version->is_string() || page == feed.end() || !page->is_string()) {
        return std::nullopt;
    }
    const std::string pageText = page->get<std::string>();
    if (pageText.rfind("https://", 0) != 0 || !HttpsUrl::isValid(pageText)) return std::nullopt;
    if (!VentoyVersionReader::parseVersion(version->get<std::string>())) return std::nullopt;
    return UpdateCheckResult::NewerVersion{version->get<std::string>(), pageText};
}

UpdateCheckResult check(const std::string& feedURL, const std::string& publicKeyBase64,
                        const std::string& currentVersion, const VentoyRegistryRefresher::Fetch& fetch) {
    using Failed = UpdateCheckResult::Failed;
    const std::optional<std::string> signatureURL = HttpsUrl::appendingToLastPathComponent(feedURL, ".sig");
    if (!signatureURL) return {Failed{"the update feed address does not parse"}};
    std::vector<std::uint8_t> document;
    std::vector<std::uint8_t> signature;
    try {
        document = fetch(feedURL);
        signature = fetch(*signatureURL);
    } catch (const std::exception& error) {
        return {Failed{std::string("could not fetch the update feed: ") + error.what()}};
    }
    if (!VentoyRegistrySignature::verify(document, signature, publicKeyBase64)) {
        return {Failed{"the update feed's signature does not match its key"}};
    }
    std::optional<UpdateCheckResult::NewerVersion> release = parse(document);
    if (!release) return {Failed{"the update feed is not in the expected form"}};
    const auto offered = VentoyVersionReader::parseVersion(release->version);
    const auto running = VentoyVersionReader::parseVersion(currentVersion);
    if (running && VentoyVersionReader::compareVersions(*offered, *running) <= 0) return {UpdateCheckResult::UpToDate{}};
    return {std::move(*release)};
}

}  // namespace marlowick::UpdateFeed
