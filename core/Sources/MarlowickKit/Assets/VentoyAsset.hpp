#pragma once
// The three boot files of one Ventoy release, in the order the installer measures
// and checks them. The enumerator order is the order of `allVentoyAssets`.

#include <array>
#include <ostream>
#include <string>
#include <string_view>

namespace marlowick {

enum class VentoyAsset { bootImg, coreImg, ventoyDiskImg };

inline constexpr std::array<VentoyAsset, 3> allVentoyAssets{VentoyAsset::bootImg, VentoyAsset::coreImg,
                                                            VentoyAsset::ventoyDiskImg};

// The end of the file's path inside the release archive, below the archive's top folder.
[[nodiscard]] std::string_view memberPathSuffix(VentoyAsset asset);
// Whether the archive stores the file xz-compressed (boot.img is stored as is).
[[nodiscard]] bool xzCompressed(VentoyAsset asset);
// The name of the decompressed file in the boot-file cache.
[[nodiscard]] std::string_view outputFileName(VentoyAsset asset);
// The case name, as it appears in notes and test output: "bootImg", "coreImg", "ventoyDiskImg".
[[nodiscard]] std::string render(VentoyAsset asset);

void PrintTo(VentoyAsset asset, std::ostream* os);

}  // namespace marlowick
