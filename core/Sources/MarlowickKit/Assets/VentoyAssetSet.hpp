#pragma once
// A complete set of decompressed boot files on local storage: the release version they
// belong to and the local file of each of the three assets. Whoever builds a set gives
// all three files; readers of the set only read the files.

#include <filesystem>
#include <map>
#include <string>

#include "Assets/VentoyAsset.hpp"

namespace marlowick {

struct VentoyAssetSet {
    std::string version;
    std::map<VentoyAsset, std::filesystem::path> files;

    // The local file of one asset. A set always holds all three; asking a set built
    // without that asset is a caller error (std::out_of_range).
    [[nodiscard]] const std::filesystem::path& url(VentoyAsset asset) const { return files.at(asset); }

    bool operator==(const VentoyAssetSet&) const = default;
};

}  // namespace marlowick
