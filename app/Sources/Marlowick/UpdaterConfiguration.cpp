#include "UpdaterConfiguration.hpp"

#include <algorithm>
#include <cctype>

#include "Download/CurlHttpsClient.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

std::string setting(const std::map<std::string, std::string>& settings, const char* key) {
    const auto found = settings.find(key);
    return found == settings.end() ? std::string() : trimmedWhiteSpace(found->second);
}

bool isHttpsAddress(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::string scheme = text.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme == "https" && HttpsUrl::isValid(text);
}

}  // namespace

UpdaterConfiguration UpdaterConfiguration::from(const std::map<std::string, std::string>& settings) {
    UpdaterConfiguration configuration;
    if (std::string feed = setting(settings, feedUrlKey); isHttpsAddress(feed)) configuration.feedURL = std::move(feed);
    if (std::string key = setting(settings, publicKeyKey); !key.empty() && key != placeholderKey) {
        configuration.publicKey = std::move(key);
    }
    return configuration;
}

UpdaterConfiguration UpdaterConfiguration::ofThisBuild() {
    std::map<std::string, std::string> settings;
#ifdef MARLOWICK_UPDATE_FEED_URL
    settings.emplace(feedUrlKey, MARLOWICK_UPDATE_FEED_URL);
#endif
#ifdef MARLOWICK_UPDATE_PUBLIC_KEY
    settings.emplace(publicKeyKey, MARLOWICK_UPDATE_PUBLIC_KEY);
#endif
    return from(settings);
}

std::optional<std::string> UpdaterConfiguration::unavailableReason() const {
    if (!feedURL && !publicKey) return "no update feed and no update public key in the build settings";
    if (!feedURL) return "no usable update feed (an https address) in the build settings";
    if (!publicKey) return "no usable update public key in the build settings (still the placeholder?)";
    return std::nullopt;
}

}  // namespace marlowick
