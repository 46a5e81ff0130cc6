#pragma once
// The update feed: a small JSON document naming the newest release and the page it is
// downloaded from, {"version": "0.4.0", "downloadPage": "https://…"}, and beside it
// ("<feed>.sig") a DER-encoded ECDSA P-256 signature over SHA-256 of the document's exact
// bytes, checked with the key the program was built with. A check only tells; nothing is
// downloaded or installed. Blocking; callers run it away from the window.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Download/VentoyRegistryRefresher.hpp"

namespace marlowick {

struct UpdateCheckResult {
    struct NewerVersion {
        std::string version;
        std::string downloadPage;
        bool operator==(const NewerVersion&) const = default;
    };
    struct UpToDate {
        bool operator==(const UpToDate&) const = default;
    };
    struct Failed {
        std::string detail;
        bool operator==(const Failed&) const = default;
    };
    using Case = std::variant<NewerVersion, UpToDate, Failed>;

    Case value;
    bool operator==(const UpdateCheckResult&) const = default;
};

namespace UpdateFeed {

// Fetches the feed and its signature, checks and reads them, and compares the release
// with `currentVersion`. Failed when either cannot be fetched, the signature does not
// hold, the document is not the feed, or its page is not an https address.
[[nodiscard]] UpdateCheckResult check(const std::string& feedURL, const std::string& publicKeyBase64,
                                      const std::string& currentVersion, const VentoyRegistryRefresher::Fetch& fetch);

// Reads a checked document; none when it is not a feed.
[[nodiscard]] std::optional<UpdateCheckResult::NewerVersion> parse(const std::vector<std::uint8_t>& document);

}  // namespace UpdateFeed

}  // namespace marlowick
