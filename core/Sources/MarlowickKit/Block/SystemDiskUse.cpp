#include "Block/SystemDiskUse.hpp"

#include <algorithm>
#include <utility>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace marlowick {
namespace {

bool isSystemMountPoint(const std::string& mountPoint) {
    return std::find(SystemDiskUse::systemMountPoints.begin(), SystemDiskUse::systemMountPoints.end(), mountPoint) !=
           SystemDiskUse::systemMountPoints.end();
}

}  // namespace

SystemDiskUse::SystemDiskUse(const SystemRoots& roots) : tree(roots.sys) {
    for (const auto& mount : MountTable::read(roots.mountInfoPath())) {
        if (isSystemMountPoint(mount.mountPoint)) addMount(mount, roots);
    }
    for (const auto& swap : parseSwaps(SysfsBlockTree::readAttributeFile(roots.swapsPath()).value_or(""))) addSwap(swap, roots);
    std::sort(disks.begin(), disks.end());
    disks.erase(std::unique(disks.begin(), disks.end()), disks.end());
}

// The kernel pads the path with blanks and ends the type with a tab; inside the path it
// escapes blank, tab, line feed and backslash, and nothing else.
std::vector<SwapArea> SystemDiskUse::parseSwaps(std::string_view text) {
    std::vector<SwapArea> areas;
    bool heading = true;
    for (const std::string_view line : MountTable::fields(text, "\n")) {
        if (std::exchange(heading, false)) continue;
        const auto fields = MountTable::fields(line, " \t");
        if (fields.size() < 2) continue;
        areas.push_back({MountTable::unescape(fields[0]), std::string(fields[1])});
    }
    return areas;
}

void SystemDiskUse::addMount(const MountEntry& mount, const SystemRoots& roots) {
    if (const auto name = tree.nameForMount(mount, roots.dev)) addPhysicalDisks(*name);
}

void SystemDiskUse::addSwap(const SwapArea& swap, const SystemRoots& roots) {
    if (swap.type == "partition") {
        if (auto name = tree.nameForDeviceNode(swap.path, roots.dev)) addPhysicalDisks(*name);
        return;
    }
    // A swap file: the disk holding its file system. The path is the running system's own.
    struct stat status {};
    if (::stat(swap.path.c_str(), &status) != 0) return;
    if (auto name = tree.nameForDeviceNumber({::major(status.st_dev), ::minor(status.st_dev)})) {
        addPhysicalDisks(*name);
    }
}

void SystemDiskUse::addPhysicalDisks(const std::string& name) {
    for (auto& disk : tree.physicalDisks(name)) disks.push_back(std::move(disk));
}

bool SystemDiskUse::hasHolders(const std::string& wholeDisk) const {
    if (!tree.holders(wholeDisk).empty()) return true;
    const auto parts = tree.partitions(wholeDisk);
    return std::any_of(parts.begin(), parts.end(), [this](const std::string& part) { return !tree.holders(part).empty(); });
}

bool SystemDiskUse::protects(const std::string& wholeDisk) const {
    return std::binary_search(disks.begin(), disks.end(), wholeDisk) || hasHolders(wholeDisk);
}

}  // namespace marlowick
