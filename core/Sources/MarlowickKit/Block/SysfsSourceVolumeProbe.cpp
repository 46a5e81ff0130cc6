#include "Block/SysfsSourceVolumeProbe.hpp"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "Block/MountTable.hpp"
#include "Block/SysfsBlockTree.hpp"

namespace marlowick {
namespace {

std::optional<std::string> firstPhysicalDisk(const SysfsBlockTree& tree, const std::string& name) {
    auto disks = tree.physicalDisks(name);
    if (disks.empty()) return std::nullopt;
    return disks.front();
}

}  // namespace

std::optional<std::string> SysfsSourceVolumeProbe::wholeDiskBSDName(const std::string& filePath) {
    struct stat status {};
    if (::stat(filePath.c_str(), &status) != 0) return std::nullopt;
    const DeviceNumber number{::major(status.st_dev), ::minor(status.st_dev)};
    const SysfsBlockTree tree(systemRoots.sys);
    if (const auto name = tree.nameForDeviceNumber(number)) return firstPhysicalDisk(tree, *name);

    // Btrfs gives its files an anonymous device number; its mount still names the device.
    for (const auto& mount : MountTable::read(systemRoots.mountInfoPath())) {
        if (mount.major != number.major || mount.minor != number.minor) continue;
        const auto name = tree.nameForMount(mount, systemRoots.dev);
        if (const auto disk = name ? firstPhysicalDisk(tree, *name) : std::nullopt) return disk;
    }
    return std::nullopt;
}

std::optional<std::string> SysfsSourceVolumeProbe::wholeDiskName(const std::string& deviceNode,
                                                                 const SystemRoots& roots) {
    const SysfsBlockTree tree(roots.sys);
    const auto name = tree.nameForDeviceNode(deviceNode, roots.dev);
    if (!name) return std::nullopt;
    return firstPhysicalDisk(tree, *name);
}

}  // namespace marlowick
