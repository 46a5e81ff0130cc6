#pragma once
// The whole disks the running system cannot do without. A disk is in system use when it,
// or one of its partitions, holds the file system mounted at /, /boot, /boot/efi or /usr,
// holds active swap, or has holders (an LVM physical volume, a dm-crypt volume, an md
// member). Mounts and swap on device-mapper or md devices are followed down to the
// physical disks beneath them. Reads the system once, at construction; never throws.

#include <array>
#include <string>
#include <string_view>
#include <vector>

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

    // Reads <proc>/self/mountinfo, <proc>/swaps and the block tree under <sys>.
    explicit SystemDiskUse(const SystemRoots& roots);

    // Whether the whole disk (a kernel name) is in system use.
    [[nodiscard]] bool protects(const std::string& wholeDisk) const;
    // The disks that carry the system's mounts and swap, in name order; disks with holders
    // are not listed here but still protected.
    [[nodiscard]] const std::vector<std::string>& systemDisks() const { return disks; }

    // /proc/swaps without its heading line; lines without a path and a type are skipped.
    [[nodiscard]] static std::vector<SwapArea> parseSwaps(std::string_view text);

private:
    void addMount(const MountEntry& mount, const SystemRoots& roots);
    void addSwap(const SwapArea& swap, const SystemRoots& roots);
    void addPhysicalDisks(const std::string& name);
    [[nodiscard]] bool hasHolders(const std::string& wholeDisk) const;

    SysfsBlockTree tree;
    std::vector<std::string> disks;
};

}  // namespace marlowick
