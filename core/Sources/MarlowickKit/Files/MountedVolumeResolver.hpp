#pragma once
// Turns a selected target into its usable data volume before anything is added to, listed
// on or deleted from it: the drive is still the one the user picked (checked before and
// after any mount, strictly, fingerprint required even for reads), the partition is the
// layout's data partition, exFAT or FAT, writable, mounted (mounted here when it is not) and
// really mounted from that partition. Blocks for up to the probe's mount time-out; keeps
// nothing, never unmounts, never throws.

#include <set>
#include <string>
#include <string_view>

#include "Files/MountedVolume.hpp"
#include "Files/VolumeMountProbe.hpp"
#include "Block/HelperDeviceProbe.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick {

namespace MountedVolumeResolver {

inline constexpr std::string_view exfatVolumeKind = "exfat";
inline constexpr std::string_view fatVolumeKind = "vfat";
inline const std::set<std::string, std::less<>> supportedVolumeKinds{std::string(exfatVolumeKind),
                                                                      std::string(fatVolumeKind)};

// A partition's kernel name on its whole disk: the disk's name, then "p" when that name
// ends in a digit, then one or more digits (sdb1, nvme0n1p1, loop3p1; not sdb1a, sdbp1, sdb10x).
[[nodiscard]] bool isPartitionName(std::string_view partitionName, std::string_view wholeDiskName);

[[nodiscard]] MountedVolumeResolution resolve(const HelperDiskRef& disk, const VentoyLayout& layout,
                                              HelperDeviceProbe& deviceProbe, VolumeMountProbe& volumeProbe);

}  // namespace MountedVolumeResolver

}  // namespace marlowick
