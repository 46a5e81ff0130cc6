#pragma once
// Which Ventoy release to install by default and which ones the user may choose, from
// the built-in releases, a floor release and the signed registry when there is one.
// Pure; safe on any thread.
//
// A registry release is a candidate when it is enabled and this application's build
// number reaches its minimumAppVersion. A registry record that is not enabled removes
// its version from the choice, built in or not, and the helper program refuses that
// version: so no version such a record names is ever recommended either.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Assets/VentoyReleaseManifest.hpp"
#include "Assets/VentoyVersionRegistry.hpp"

namespace marlowick::VentoyVersionSelection {

// -1, 0 or 1 as `first` is lower than, equal to or higher than `second`. Versions are
// split at "."; empty pieces are dropped; a piece that is not a base-10 64-bit integer
// (an optional sign, then digits) counts as 0, and so does a missing one: 1.1 equals
// 1.1.0, and 1.1.17-beta equals 1.1.
[[nodiscard]] int compare(std::string_view first, std::string_view second);

// Newest first: the built-in releases and then the candidates the registry marks
// visible, leaving out every version a registry record disables and every version
// already taken (so a built-in release wins over a registry one of that version). The
// sort is stable: versions that compare equal keep that order.
[[nodiscard]] std::vector<VentoyReleaseManifest> selectable(const std::optional<VentoyVersionRegistry>& registry,
                                                            std::span<const VentoyReleaseManifest> builtIn,
                                                            std::int64_t appVersion);

// Without a registry, the floor. Otherwise the one candidate marked current, when there
// is exactly one and it is not older than the floor; else the floor. Whichever that is,
// when a registry record disables its version, the newest selectable release takes its
// place, and only when nothing is selectable the floor stays.
[[nodiscard]] VentoyReleaseManifest recommended(const std::optional<VentoyVersionRegistry>& registry,
                                                const VentoyReleaseManifest& floor,
                                                std::span<const VentoyReleaseManifest> builtIn,
                                                std::int64_t appVersion);

}  // namespace marlowick::VentoyVersionSelection
