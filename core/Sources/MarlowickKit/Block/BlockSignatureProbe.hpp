#pragma once
// What libblkid finds on a block device: the type of its file system or volume-manager
// member ("ext4", "btrfs", "zfs_member", …) with the label and UUID that come with it (a
// ZFS member's label is the name of its pool). The device is opened read-only and only
// read. A caller who may not open the device (the application runs unprivileged) gets
// udev's record of it instead, which udev took from libblkid.

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "Block/SysfsBlockTree.hpp"
#include "Block/SystemRoots.hpp"

namespace marlowick {

struct BlockSignature {
    std::string type;  // empty when the device carries no signature libblkid knows
    std::optional<std::string> label;
    std::optional<std::string> uuid;
    bool operator==(const BlockSignature&) const = default;
};
// {"zfs_member", label: "rpool", uuid: "1570981937"}
void PrintTo(const BlockSignature& signature, std::ostream* os);

// The signature of a block device named by its kernel name; none when it cannot be told.
using BlockSignatureProbe = std::function<std::optional<BlockSignature>(const std::string& kernelName)>;

// libblkid on the node; when that cannot open it or finds two signatures at once, udev's
// record under `udevDataRoot` (found by `number`, else by the node's own device number).
// None when neither answers.
[[nodiscard]] std::optional<BlockSignature> probeBlockSignature(const std::string& deviceNode,
                                                                std::optional<DeviceNumber> number,
                                                                const std::string& udevDataRoot);

// The probe of <dev>/<name> for the system those roots describe.
[[nodiscard]] BlockSignatureProbe blkidSignatureProbe(const SystemRoots& roots);

}  // namespace marlowick
