#pragma once
// The whole disks the running system cannot do without. A disk is in system use when it,
// or one of its partitions, holds the file system mounted at /, /boot, /boot/efi or /usr,
// holds active swap, or has holders (an LVM physical volume, a dm-crypt volume, an md
// member). What such a mount or swap area stands on is followed down to the disks:
//  - device-mapper and md devices to their members;
//  - a loop device to the mount that holds its backing file, and on from there;
//  - an overlay (a live system's root) to the mounts that hold its layers, such as a
//    squashfs loop-mounted from a file on the boot stick;
//  - a btrfs file system to every device it spans;
//  - a ZFS dataset to every device that carries a member of its pool.
// When in doubt a disk is protected: with a ZFS root, a device that cannot be probed or
// whose member names no pool; with an overlay layer that lies on no other mount (named
// in a namespace since left, as an initramfs leaves its own), every loop-mounted image.
// Reads the system once, at construction; never throws.

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Block/BlockSignatureProbe.hpp"
#include "Block/MountTable.hpp"
#include "Block/SysfsBlockTree.hpp"
#include "Block/SystemRoots.hpp"

namespace marlowick {

struct SwapArea {
    std::string path;  // escapes undone
    std::string type;  // "partition" or "file"
    bool operator==(const SwapArea&) const = default;
};

class SystemDiskUse {
public:
    static constexpr std::array<std::string_view, 4> systemMountPoints{"/", "/boot", "/boot/efi", "/usr"};

    // Reads <proc>/self/mountinfo, <proc>/swaps and the block tree under <sys>; signatures
    // come from `probe`, by default libblkid on <dev>/<name>.
    explicit SystemDiskUse(const SystemRoots& roots, BlockSignatureProbe probe = {});

    // Whether the whole disk (a kernel name) is in system use.
    [[nodiscard]] bool protects(const std::string& wholeDisk) const;
    // The disks that carry the system's mounts and swap, in name order; disks with holders
    // are not listed here but still protected.
    [[nodiscard]] const std::vector<std::string>& systemDisks() const { return disks; }

    // /proc/swaps without its heading line; lines without a path and a type are skipped.
    [[nodiscard]] static std::vector<SwapArea> parseSwaps(std::string_view text);

private:
    void followMount(const MountEntry& mount, int depth);
    void followPath(const std::string& path, int depth);
    void followDevice(const std::string& name, int depth);
    void followOverlay(const MountEntry& overlay, int depth);
    void followBtrfs(const std::optional<std::string>& member, int depth);
    void followZfsPool(const std::string& pool, int depth);
    void followMountedImages(int depth);
    void addSwap(const SwapArea& swap);
    [[nodiscard]] bool hasHolders(const std::string& wholeDisk) const;

    SystemRoots systemRoots;
    SysfsBlockTree tree;
    BlockSignatureProbe signatureOf;
    std::vector<MountEntry> mounts;
    std::set<std::int64_t> followedMounts;
    std::vector<std::string> disks;
};

}  // namespace marlowick
