#include "Block/SystemDiskUse.hpp"

#include <algorithm>
#include <utility>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace marlowick {
namespace {

// Stacks of overlays, loop devices and device mappers are a few levels deep; the bound
// only stops a table that loops.
constexpr int maximumDepth = 16;

constexpr std::string_view zfsMember = "zfs_member";

bool isSystemMountPoint(const std::string& mountPoint) {
    return std::find(SystemDiskUse::systemMountPoints.begin(), SystemDiskUse::systemMountPoints.end(), mountPoint) !=
           SystemDiskUse::systemMountPoints.end();
}

}  // namespace

SystemDiskUse::SystemDiskUse(const SystemRoots& roots, BlockSignatureProbe probe)
    : systemRoots(roots),
      tree(roots.sys),
      signatureOf(probe ? std::move(probe) : blkidSignatureProbe(roots)),
      mounts(MountTable::read(roots.mountInfoPath())) {
    for (const auto& mount : mounts) {
        if (isSystemMountPoint(mount.mountPoint)) followMount(mount, 0);
    }
    for (const auto& swap : parseSwaps(SysfsBlockTree::readAttributeFile(roots.swapsPath()).value_or(""))) addSwap(swap);
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

void SystemDiskUse::followMount(const MountEntry& mount, int depth) {
    if (depth > maximumDepth || !followedMounts.insert(mount.mountId).second) return;
    if (mount.fsType == "overlay") return followOverlay(mount, depth);
    // A ZFS mount names a dataset, "rpool/ROOT/debian", whose first part is the pool.
    if (mount.fsType == "zfs") return followZfsPool(mount.source.substr(0, mount.source.find('/')), depth);
    const auto name = tree.nameForMount(mount, systemRoots.dev);
    if (mount.fsType == "btrfs") followBtrfs(name, depth);
    if (name) followDevice(*name, depth);
}

void SystemDiskUse::followPath(const std::string& path, int depth) {
    if (const MountEntry* mount = MountTable::holding(mounts, path)) return followMount(*mount, depth + 1);
    // No mount of the table holds it (the table could not be read): the device stat names.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return;
    if (auto name = tree.nameForDeviceNumber({::major(status.st_dev), ::minor(status.st_dev)})) {
        followDevice(*name, depth + 1);
    }
}

void SystemDiskUse::followDevice(const std::string& name, int depth) {
    for (auto& disk : tree.physicalDisks(name)) {
        if (const auto backingFile = tree.loopBackingFile(disk)) followPath(*backingFile, depth + 1);
        disks.push_back(std::move(disk));
    }
}

void SystemDiskUse::followOverlay(const MountEntry& overlay, int depth) {
    bool unplaced = false;
    for (const auto& layer : MountTable::overlayLayers(overlay.superOptions)) {
        const MountEntry* mount = MountTable::holding(mounts, layer);
        if (mount == nullptr || mount->mountId == overlay.mountId) {
            unplaced = true;
            continue;
        }
        followMount(*mount, depth + 1);
    }
    if (unplaced) followMountedImages(depth);
}

// The kernel lists every device of a mounted btrfs; the mount names only one of them. Without
// that one, every btrfs device may be the system's.
void SystemDiskUse::followBtrfs(const std::optional<std::string>& member, int depth) {
    for (const auto& devices : tree.btrfsDeviceSets()) {
        if (member && std::find(devices.begin(), devices.end(), *member) == devices.end()) continue;
        for (const auto& device : devices) followDevice(device, depth + 1);
    }
}

void SystemDiskUse::followZfsPool(const std::string& pool, int depth) {
    for (const auto& name : tree.blockNames()) {
        // An empty slot (no medium, a detached loop device) carries no member.
        if (tree.sizeBytes(name).value_or(0) <= 0) continue;
        const auto signature = signatureOf(name);
        if (!signature || (signature->type == zfsMember && signature->label.value_or(pool) == pool)) {
            followDevice(name, depth + 1);
        }
    }
}

void SystemDiskUse::followMountedImages(int depth) {
    for (const auto& mount : mounts) {
        const auto name = tree.nameForMount(mount, systemRoots.dev);
        if (!name) continue;
        const auto below = tree.physicalDisks(*name);
        const auto isLoop = [this](const std::string& disk) { return tree.loopBackingFile(disk).has_value(); };
        if (std::any_of(below.begin(), below.end(), isLoop)) followMount(mount, depth + 1);
    }
}

void SystemDiskUse::addSwap(const SwapArea& swap) {
    if (swap.type == "partition") {
        if (auto name = tree.nameForDeviceNode(swap.path, systemRoots.dev)) followDevice(*name, 0);
        return;
    }
    followPath(swap.path, 0);
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
