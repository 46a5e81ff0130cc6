#pragma once
// Fresh look-ups the target check makes before a command touches a drive: the disk a
// kernel name stands for now, and the disk a file lives on.

#include <optional>
#include <string>

#include "Block/DiscoveredDisk.hpp"

namespace marlowick {

class HelperDeviceProbe {
public:
    virtual ~HelperDeviceProbe() = default;
    // The block device of that kernel name as the system describes it at this moment
    // (a partition comes back with isWhole false); nullopt when there is none.
    [[nodiscard]] virtual std::optional<DiscoveredDisk> probe(const std::string& bsdName) = 0;
};

class HelperSourceVolumeProbe {
public:
    virtual ~HelperSourceVolumeProbe() = default;
    // The kernel name of the whole disk holding the file system the file lives on;
    // nullopt when the file cannot be looked at or does not live on a disk.
    [[nodiscard]] virtual std::optional<std::string> wholeDiskBSDName(const std::string& filePath) = 0;
};

}  // namespace marlowick
