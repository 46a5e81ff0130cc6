#include "Assets/VentoyRegistryParser.hpp"

#include <array>
#include <map>
#include <string>
#include <string_view>

#include "Assets/VentoyRegistryDocument.hpp"

namespace marlowick::VentoyRegistryParser {
namespace {

using VentoyRegistryDocument::ReleaseDTO;
using Checksum = VentoyReleaseManifest::AssetChecksum;

constexpr std::int64_t sectorBytes = 512;

// The upstream release host and the host its release downloads are served from.
constexpr std::array<std::string_view, 2> allowedHosts{"github.com", "objects.githubusercontent.com"};

const std::map<std::string_view, VentoyAsset>& assetKeys() {
    static const std::map<std::string_view, VentoyAsset> keys{
        {"BOOT_IMG", VentoyAsset::bootImg},
        {"CORE_IMG", VentoyAsset::coreImg},
        {"VENTOY_DISK_IMG", VentoyAsset::ventoyDiskImg},
    };
    return keys;
}

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool isOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }
bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || isOneOf(c, "-._~"); }
bool isSubDelimiter(char c) { return isOneOf(c, "!$&'()*+,;="); }

// Every character may stand in a URL, and every "%" starts a two-digit escape.
bool isWellFormedUrlText(std::string_view url) {
    for (std::size_t i = 0; i < url.size(); ++i) {
        const char c = url[i];
        if (c == '%') {
            if (i + 2 >= url.size() || !isHexDigit(url[i + 1]) || !isHexDigit(url[i + 2])) return false;
            i += 2;
        } else if (!isUnreserved(c) && !isSubDelimiter(c) && !isOneOf(c, ":/?#[]@")) {
            return false;
        }
    }
    return true;
}

bool isScheme(std::string_view scheme) {
    if (scheme.empty() || !isAlpha(scheme.front())) return false;
    for (const char c : scheme) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The host of a "scheme://[userinfo@]host[:port][/path][?query][#fragment]" URL in
// lower case, or nullopt when the text is not such a URL. Stricter than it needs to
// be for real download bases: a percent-escaped host, a second "@" or a port with
// anything but digits is refused rather than interpreted, so no spelling can make a
// foreign host look allowed.
std::optional<std::string> urlHost(std::string_view url) {
    if (!isWellFormedUrlText(url)) return std::nullopt;
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || !isScheme(url.substr(0, colon))) return std::nullopt;
    std::string_view rest = url.substr(colon + 1);
    if (!rest.starts_with("//")) return std::nullopt;
    rest.remove_prefix(2);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = authority.find('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
        if (authority.find('@') != std::string_view::npos) return std::nullopt;
    }
    std::string_view host = authority;
    std::string_view port;
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        port = host.substr(close + 1);
        host = host.substr(0, close + 1);
    } else if (const std::size_t portColon = host.find(':'); portColon != std::string_view::npos) {
        port = host.substr(portColon);
        host = host.substr(0, portColon);
    } else if (host.find_first_of("[]") != std::string_view::npos) {
        return std::nullopt;
    }
    if (!port.empty()) {
        if (port.front() != ':') return std::nullopt;
        for (const char c : port.substr(1)) {
            if (!isDigit(c)) return std::nullopt;
        }
    }
    if (host.empty()) return std::nullopt;
    std::string lowered;
    for (const char c : host) {
        if (c == '%') return std::nullopt;
        lowered += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lowered;
}

// The host itself or any subdomain of it, at any depth; the scheme is left to the
// manifest's own "https://" rule.
bool isAllowedHost(std::string_view base) {
    const std::optional<std::string> host = urlHost(base);
    if (!host) return false;
    for (const std::string_view allowed : allowedHosts) {
        if (*host == allowed) return true;
        if (host->size() > allowed.size() && host->ends_with(allowed) &&
            (*host)[host->size() - allowed.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}

// Entries under unknown keys, with a digest that is not 64 characters or a size
// below 1 are left out; the manifest then refuses the incomplete set.
std::map<VentoyAsset, Checksum> knownAssets(const ReleaseDTO& record) {
    std::map<VentoyAsset, Checksum> assets;
    for (const auto& [key, entry] : record.assets) {
        const auto asset = assetKeys().find(key);
        if (asset == assetKeys().end()) continue;
        try {
            assets.insert_or_assign(asset->second,
                                    Checksum(entry.memberPath, entry.compressedSha256, entry.compressedSizeBytes,
                                             entry.decompressedSha256, entry.decompressedSizeBytes));
        } catch (const VentoyManifestError&) {
            continue;
        }
    }
    return assets;
}

bool holdsWholeSectors(const VentoyReleaseManifest& manifest, VentoyAsset asset) {
    return manifest.checksum(asset).decompressedSizeBytes() % sectorBytes == 0;
}

std::optional<VentoyRegistryRelease> release(const ReleaseDTO& record, const std::optional<std::string>& base) {
    // A record's own base is never replaced by the document's, even when it is refused.
    const std::optional<std::string>& downloadBase = record.downloadBaseUrl ? record.downloadBaseUrl : base;
    if (!downloadBase || !isAllowedHost(*downloadBase)) return std::nullopt;
    std::optional<VentoyReleaseManifest> manifest;
    try {
        manifest.emplace(record.version, record.archiveName, record.archiveSha256, record.archiveSizeBytes,
                         knownAssets(record), record.minimumAppVersion.value_or(1), *downloadBase);
    } catch (const VentoyManifestError&) {
        return std::nullopt;
    }
    // The installer writes these two by whole sectors; boot.img is not so bound.
    if (!holdsWholeSectors(*manifest, VentoyAsset::coreImg)) return std::nullopt;
    if (!holdsWholeSectors(*manifest, VentoyAsset::ventoyDiskImg)) return std::nullopt;
    return VentoyRegistryRelease{
        .manifest = std::move(*manifest),
        .enabled = record.enabled.value_or(false),
        .current = record.current.value_or(false),
        .visible = record.visible.value_or(false),
        .verifiedOn = record.verifiedOn,
    };
}

}  // namespace

std::optional<VentoyVersionRegistry> parse(std::span<const std::uint8_t> document) noexcept {
    try {
        const std::optional<VentoyRegistryDocument::RegistryDTO> decoded = VentoyRegistryDocument::decode(document);
        if (!decoded) return std::nullopt;
        VentoyVersionRegistry registry;
        if (decoded->releases) {
            for (const ReleaseDTO& record : *decoded->releases) {
                std::optional<VentoyRegistryRelease> kept = release(record, decoded->downloadBaseUrl);
                if (kept) registry.releases.push_back(std::move(*kept));
            }
        }
        return registry;
    } catch (const std::exception&) {
        // Out of memory on a hostile document: unreadable like any other.
        return std::nullopt;
    }
}

}  // namespace marlowick::VentoyRegistryParser
