#include "Assets/VentoyAsset.hpp"

#include <iterator>

namespace marlowick {
namespace {

struct AssetNames {
    std::string_view memberPathSuffix;
    bool xzCompressed;
    std::string_view outputFileName;
    std::string_view caseName;
};

// Indexed by the enumerator's value, in declaration order.
constexpr AssetNames assetNames[] = {
    {"boot/boot.img", false, "boot.img", "bootImg"},
    {"boot/core.img.xz", true, "core.img", "coreImg"},
    {"ventoy/ventoy.disk.img.xz", true, "ventoy.disk.img", "ventoyDiskImg"},
};

// A value outside the enumerators (a cast from a bad integer) gets empty names, not a stray read.
constexpr AssetNames unknownAsset{"", false, "", "unknown"};

const AssetNames& names(VentoyAsset asset) {
    const auto index = static_cast<std::size_t>(asset);
    return index < std::size(assetNames) ? assetNames[index] : unknownAsset;
}

}  // namespace

std::string_view memberPathSuffix(VentoyAsset asset) { return names(asset).memberPathSuffix; }
bool xzCompressed(VentoyAsset asset) { return names(asset).xzCompressed; }
std::string_view outputFileName(VentoyAsset asset) { return names(asset).outputFileName; }
std::string render(VentoyAsset asset) { return std::string(names(asset).caseName); }

void PrintTo(VentoyAsset asset, std::ostream* os) { *os << render(asset); }

}  // namespace marlowick
