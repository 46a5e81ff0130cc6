#include "Assets/VentoyVersionSelection.hpp"

#include <algorithm>
#include <charconv>
#include <set>
#include <string>

namespace marlowick::VentoyVersionSelection {
namespace {

std::int64_t pieceValue(std::string_view piece) {
    std::string_view digits = piece;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    // from_chars takes a minus but no plus.
    const std::string_view number = piece.front() == '+' ? digits : piece;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    return error == std::errc() && end == number.data() + number.size() ? value : 0;
}

std::vector<std::int64_t> pieces(std::string_view version) {
    std::vector<std::int64_t> values;
    while (!version.empty()) {
        const std::size_t dot = version.find('.');
        const std::string_view piece = version.substr(0, dot);
        if (!piece.empty()) values.push_back(pieceValue(piece));
        if (dot == std::string_view::npos) break;
        version.remove_prefix(dot + 1);
    }
    return values;
}

bool isCandidate(const VentoyRegistryRelease& release, std::int64_t appVersion) {
    return release.enabled && release.manifest.minimumAppVersion() <= appVersion;
}

std::set<std::string> disabledVersions(const std::optional<VentoyVersionRegistry>& registry) {
    std::set<std::string> versions;
    if (!registry) return versions;
    for (const VentoyRegistryRelease& release : registry->releases) {
        if (!release.enabled) versions.insert(release.manifest.version());
    }
    return versions;
}

}  // namespace

int compare(std::string_view first, std::string_view second) {
    const std::vector<std::int64_t> a = pieces(first);
    const std::vector<std::int64_t> b = pieces(second);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::int64_t x = i < a.size() ? a[i] : 0;
        const std::int64_t y = i < b.size() ? b[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

std::vector<VentoyReleaseManifest> selectable(const std::optional<VentoyVersionRegistry>& registry,
                                              std::span<const VentoyReleaseManifest> builtIn,
                                              std::int64_t appVersion) {
    const std::set<std::string> disabled = disabledVersions(registry);
    std::vector<const VentoyReleaseManifest*> offered;
    for (const VentoyReleaseManifest& manifest : builtIn) offered.push_back(&manifest);
    if (registry) {
        for (const VentoyRegistryRelease& release : registry->releases) {
            if (isCandidate(release, appVersion) && release.visible) offered.push_back(&release.manifest);
        }
    }
    std::set<std::string> taken;
    std::vector<VentoyReleaseManifest> list;
    for (const VentoyReleaseManifest* manifest : offered) {
        if (disabled.contains(manifest->version()) || !taken.insert(manifest->version()).second) continue;
        list.push_back(*manifest);
    }
    std::stable_sort(list.begin(), list.end(), [](const VentoyReleaseManifest& a, const VentoyReleaseManifest& b) {
        return compare(a.version(), b.version()) == 1;
    });
    return list;
}

VentoyReleaseManifest recommended(const std::optional<VentoyVersionRegistry>& registry,
                                  const VentoyReleaseManifest& floor, std::span<const VentoyReleaseManifest> builtIn,
                                  std::int64_t appVersion) {
    if (!registry) return floor;
    const std::set<std::string> disabled = disabledVersions(registry);
    std::vector<const VentoyReleaseManifest*> current;
    for (const VentoyRegistryRelease& release : registry->releases) {
        if (isCandidate(release, appVersion) && release.current) current.push_back(&release.manifest);
    }
    const VentoyReleaseManifest& choice =
        current.size() == 1 && compare(current.front()->version(), floor.version()) >= 0 ? *current.front() : floor;
    if (!disabled.contains(choice.version())) return choice;
    // The helper program would refuse this version at every prepare.
    std::vector<VentoyReleaseManifest> offered = selectable(registry, builtIn, appVersion);
    return offered.empty() ? floor : std::move(offered.front());
}

}  // namespace marlowick::VentoyVersionSelection
