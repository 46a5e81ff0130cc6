#pragma once
// Finds the whole disk a file lives on, so that an image is never written onto the disk
// it is read from. The file's device number leads through sysfs to its block device;
// device-mapper and md devices are followed down to the physical disks beneath them.
//
// A file system over several physical disks (LVM or RAID across drives) answers with the
// first of them in name order: the answer holds one name. File systems on no block
// device (tmpfs, overlay, proc) and files that cannot be looked at answer nullopt.

#include <optional>
#include <string>

#include "Block/SystemRoots.hpp"
#include "Block/HelperDeviceProbe.hpp"

namespace marlowick {

class SysfsSourceVolumeProbe final : public HelperSourceVolumeProbe {
public:
    explicit SysfsSourceVolumeProbe(SystemRoots roots = {}) : systemRoots(std::move(roots)) {}
    [[nodiscard]] std::optional<std::string> wholeDiskBSDName(const std::string& filePath) override;

    // The whole disk a device node stands for: "/dev/sdb1" gives "sdb", "/dev/mapper/vg-data"
    // the disk beneath it. nullopt for anything that is no block device of this system.
    [[nodiscard]] static std::optional<std::string> wholeDiskName(const std::string& deviceNode,
                                                                  const SystemRoots& roots = {});

private:
    SystemRoots systemRoots;
};

}  // namespace marlowick
