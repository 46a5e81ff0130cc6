#include "Block/WholeDiskUnmounter.hpp"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <vector>

#include "Text/ErrnoText.hpp"
#include "Block/MountTable.hpp"
#include "Block/SysfsBlockTree.hpp"

namespace marlowick {
namespace {

// The disk or one of its partitions.
struct Member {
    std::string name;
    DeviceNumber number;
};

DiskUnmountRefused refused(std::string detail) { return DiskUnmountRefused{std::move(detail)}; }

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

const Member* memberOf(const std::vector<Member>& members, const MountEntry& entry) {
    for (const auto& member : members) {
        if (member.number == DeviceNumber{entry.major, entry.minor}) return &member;
    }
    return nullptr;
}

// Distance from the root of the mount tree; a mount always lies deeper than the mount it sits on.
int depth(const MountEntry& entry, const std::map<std::int64_t, const MountEntry*>& byId) {
    int levels = 0;
    std::int64_t parent = entry.parentId;
    // Bounded by the table size, in case a table read mid-change has a loop.
    while (levels <= static_cast<int>(byId.size())) {
        const auto found = byId.find(parent);
        if (found == byId.end()) break;
        ++levels;
        if (found->second->parentId == parent) break;  // a root that names itself as its parent
        parent = found->second->parentId;
    }
    return levels;
}

// The disk's mounts, children before parents.
std::vector<MountEntry> deepestFirst(const std::vector<MountEntry>& table, const std::vector<Member>& members) {
    std::map<std::int64_t, const MountEntry*> byId;
    for (const auto& entry : table) byId[entry.mountId] = &entry;
    std::vector<std::pair<int, MountEntry>> ranked;
    for (const auto& entry : table) {
        if (memberOf(members, entry) != nullptr) ranked.emplace_back(depth(entry, byId), entry);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first > b.first;
        return a.second.mountId > b.second.mountId;
    });
    std::vector<MountEntry> ordered;
    for (auto& [level, entry] : ranked) ordered.push_back(std::move(entry));
    return ordered;
}

}  // namespace

WholeDiskUnmounter::WholeDiskUnmounter()
    : WholeDiskUnmounter(SysfsBlockTree::defaultRoot, std::string(MountTable::defaultPath)) {}

WholeDiskUnmounter::WholeDiskUnmounter(std::string sysfs, std::string mountInfo,
                                       std::shared_ptr<UnmountSystemCalls> systemCalls)
    : sysfsRoot(std::move(sysfs)),
      mountInfoPath(std::move(mountInfo)),
      calls(systemCalls ? std::move(systemCalls) : std::make_shared<UnmountSystemCalls>()) {}

DiskUnmountResult WholeDiskUnmounter::unmountWholeDisk(const std::string& kernelName) {
    if (!SysfsBlockTree::isKernelName(kernelName)) return refused("\"" + kernelName + "\" is not a disk name");
    const SysfsBlockTree tree(sysfsRoot);
    const auto diskNumber = tree.deviceNumber(kernelName);
    if (!diskNumber) return refused("the kernel lists no block device " + kernelName);
    if (tree.isPartition(kernelName)) return refused(kernelName + " is a partition, not a whole disk");

    std::vector<Member> members{{kernelName, *diskNumber}};
    for (const auto& partition : tree.partitions(kernelName)) {
        if (const auto number = tree.deviceNumber(partition)) members.push_back({partition, *number});
    }

    // A device stacked on the disk keeps it open below any file system.
    for (const auto& member : members) {
        const auto stacked = tree.holders(member.name);
        if (!stacked.empty()) return refused(member.name + " is in use by " + joined(stacked));
    }

    const auto table = MountTable::read(mountInfoPath);
    // The table always holds at least the root file system.
    if (table.empty()) return refused("cannot read the mount table " + mountInfoPath);
    const auto ordered = deepestFirst(table, members);
    for (const auto& mount : ordered) {
        for (const auto& other : table) {
            if (other.parentId == mount.mountId && memberOf(members, other) == nullptr) {
                return refused("umount " + mount.mountPoint + ": " + other.mountPoint + " (" + other.fsType +
                               ", not on " + kernelName + ") is mounted inside it");
            }
        }
    }

    DiskUnmounted done;
    for (const auto& mount : ordered) {
        std::string problem = unmountOne(mount.mountPoint);
        if (!problem.empty()) return refused(std::move(problem));
        done.mountPoints.push_back(mount.mountPoint);
    }
    if (ordered.empty()) return done;

    const auto after = MountTable::read(mountInfoPath);
    if (after.empty()) return refused("cannot read the mount table " + mountInfoPath);
    for (const auto& entry : after) {
        if (const Member* member = memberOf(members, entry)) {
            return refused(member->name + " is still mounted on " + entry.mountPoint);
        }
    }
    return done;
}

std::string WholeDiskUnmounter::unmountOne(const std::string& mountPoint) {
    for (int attempt = 1;; ++attempt) {
        if (calls->unmount(mountPoint) == 0) return {};
        const int error = errno;
        // Not a mount point any more: someone else unmounted it meanwhile. The mount table
        // read after the loop decides whether the disk is free.
        if (error == EINVAL || error == ENOENT) return {};
        if (error != EBUSY || attempt == busyAttempts) return "umount " + mountPoint + ": " + errnoText(error);
        calls->sync();
        calls->pause(busyPause);
    }
}

}  // namespace marlowick
