#pragma once
// A signed registry for the tests that run the application's catalog against a release
// archive made in the test: the record that vouches for exactly that archive.

#include <nlohmann/json.hpp>

#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick::testing {

// The registry entry whose archive and asset digests and sizes are the manifest's.
[[nodiscard]] nlohmann::json registryRecord(const VentoyReleaseManifest& manifest);

}  // namespace marlowick::testing
