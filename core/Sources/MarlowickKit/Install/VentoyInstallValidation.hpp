#pragma once
// The checks an install makes before it writes a single sector: do the cached boot files
// belong to the release manifest, can the partition style be written on the device's
// sectors, and do the files fit the computed layout. Each
// returns nothing when the check passes, or the one-line reason the installer hands
// back as its refusal. Pure functions; no file or device is touched.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Layout/PartitionStyle.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick::VentoyInstallValidation {

// In this order, first failure wins: the set's version equals the manifest's; each of
// boot.img, core.img and ventoy.disk.img has the manifest's decompressed size (a file
// missing from assetSizeBytes counts as 0 bytes) and that size is whole sectors; and
// boot.img is exactly one sector.
[[nodiscard]] std::optional<std::string> validateAssets(std::string_view assetVersion,
                                                        const std::map<VentoyAsset, std::int64_t>& assetSizeBytes,
                                                        const VentoyReleaseManifest& manifest, int sectorSize);

// GPT is written for 512-byte sectors only. Depends on the options and the device's
// sector size alone, so it can be asked before the device is opened.
[[nodiscard]] std::optional<std::string> validatePartitionStyle(PartitionStyle style, std::int64_t sectorSize);

// core.img must fit in front of partition 1, unless the part that does not fit is all
// zero (coreTailAllZero, asked at most once and only then); ventoy.disk.img must fit in
// partition 2.
[[nodiscard]] std::optional<std::string> validateLayoutFit(const VentoyLayout& layout, std::int64_t coreSizeBytes,
                                                           std::int64_t ventoyDiskSizeBytes, int sectorSize,
                                                           const std::function<bool()>& coreTailAllZero);

}  // namespace marlowick::VentoyInstallValidation
