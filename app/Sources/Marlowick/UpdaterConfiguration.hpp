#pragma once
// Whether this build checks for updates at all: only when it was built with an update
// feed (an https address) and the public key its signatures are checked with. Both are
// build settings (MARLOWICK_UPDATE_FEED_URL, MARLOWICK_UPDATE_PUBLIC_KEY), empty by
// default, so a build of the sources as they stand has no updater.

#include <map>
#include <optional>
#include <string>

namespace marlowick {

struct UpdaterConfiguration {
    static constexpr const char* feedUrlKey = "MARLOWICK_UPDATE_FEED_URL";
    static constexpr const char* publicKeyKey = "MARLOWICK_UPDATE_PUBLIC_KEY";
    static constexpr const char* placeholderKey = "REPLACE_WITH_UPDATE_PUBLIC_KEY";

    std::optional<std::string> feedURL;    // trimmed; only an https address
    std::optional<std::string> publicKey;  // trimmed; never empty, never the placeholder

    // From the two settings; a missing one counts as empty.
    [[nodiscard]] static UpdaterConfiguration from(const std::map<std::string, std::string>& settings);
    // The settings this program was built with.
    [[nodiscard]] static UpdaterConfiguration ofThisBuild();

    [[nodiscard]] bool isConfigured() const { return feedURL.has_value() && publicKey.has_value(); }
    // Why there is no updater; none when there is one.
    [[nodiscard]] std::optional<std::string> unavailableReason() const;

    bool operator==(const UpdaterConfiguration&) const = default;
};

}  // namespace marlowick
