#pragma once
// Lists the system's block devices from sysfs as DiscoveredDisk records: size and sector
// size from the queue, identity texts from the device (SCSI inquiry strings, NVMe and
// MMC attributes, a USB device's serial number, a loop device's backing file), and the
// system-disk protection of SystemDiskUse. Where sysfs is silent, udev's database fills
// in vendor, model, revision, serial number, bus and partition-table type; without udev
// sysfs alone answers. A blank serial number is none. The display name is the media name
// (device-mapper name, a loop device's backing file name), else vendor and model, else
// the kernel name. USB disks are never solid state. Reads afresh on every call; never
// throws.
//
// Left out: disks of size 0 (an empty card reader, a detached loop device), optical and
// floppy drives (sr*, fd*), loop devices without a backing file.

#include <optional>
#include <string>
#include <vector>

#include "Block/DiscoveredDisk.hpp"
#include "Block/DriveVisibility.hpp"
#include "Block/SysfsBlockTree.hpp"
#include "Block/SystemRoots.hpp"

namespace marlowick {

class SystemDiskUse;

class SysfsDiskScanner {
public:
    explicit SysfsDiskScanner(SystemRoots roots = {});

    // Every whole disk, sorted by kernel name. With a visibility, only the eligible targets
    // (fixed storage never included).
    [[nodiscard]] std::vector<DiscoveredDisk> scan(std::optional<DriveVisibility> visibility = std::nullopt) const;
    // The block device of that kernel name, whole disk or partition; a partition has
    // isWhole false, its own size and its disk's sector size and identity.
    [[nodiscard]] std::optional<DiscoveredDisk> disk(const std::string& name) const;

private:
    [[nodiscard]] std::optional<DiscoveredDisk> describeWholeDisk(const std::string& name,
                                                                  const SystemDiskUse& systemUse) const;

    SystemRoots systemRoots;
    SysfsBlockTree tree;
};

}  // namespace marlowick
