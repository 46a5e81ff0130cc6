#pragma once
// Read-only look-ups in the kernel's block-device tree under <sys>/class/block and
// <sys>/dev/block. Every call reads the tree afresh; nothing is cached, nothing throws,
// and a missing or unreadable entry reads as absent or empty.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Block/MountTable.hpp"

namespace marlowick {

struct DeviceNumber {
    unsigned int major = 0;
    unsigned int minor = 0;
    bool operator==(const DeviceNumber&) const = default;
};
// "8:17", as the kernel writes it.
[[nodiscard]] std::string text(const DeviceNumber& number);

class SysfsBlockTree {
public:
    static constexpr const char* defaultRoot = "/sys";

    explicit SysfsBlockTree(std::string sysRoot = defaultRoot) : root(std::move(sysRoot)) {}

    // A plain kernel name: not empty, no '/', not "." or "..". Anything else never reaches the tree.
    [[nodiscard]] static bool isKernelName(const std::string& name);

    // Every block device the kernel lists, disks and partitions, in name order.
    [[nodiscard]] std::vector<std::string> blockNames() const;
    [[nodiscard]] bool exists(const std::string& name) const;
    [[nodiscard]] bool isPartition(const std::string& name) const;
    // The device's directory with its links resolved (…/devices/…/block/sdb).
    [[nodiscard]] std::optional<std::filesystem::path> devicePath(const std::string& name) const;

    // The file's text without the one line break sysfs ends it with; blanks are kept.
    [[nodiscard]] std::optional<std::string> attribute(const std::string& name, const std::string& file) const;
    [[nodiscard]] static std::optional<std::string> readAttributeFile(const std::filesystem::path& file);
    [[nodiscard]] std::optional<long long> numberAttribute(const std::string& name, const std::string& file) const;
    // The device's size in bytes: its "size" attribute counts 512-byte units whatever the
    // logical sector size. Absent when missing, negative or too large for 64 bits.
    [[nodiscard]] std::optional<std::int64_t> sizeBytes(const std::string& name) const;

    // The whole disk a partition belongs to; a whole disk is its own.
    [[nodiscard]] std::optional<std::string> wholeDisk(const std::string& name) const;
    // The partitions of a whole disk, in name order.
    [[nodiscard]] std::vector<std::string> partitions(const std::string& disk) const;
    [[nodiscard]] std::optional<DeviceNumber> deviceNumber(const std::string& name) const;
    [[nodiscard]] std::optional<std::string> nameForDeviceNumber(DeviceNumber number) const;
    // The block device a node such as /dev/sdb1 or /dev/mapper/vg-root stands for. A leading
    // "/dev/" is looked up under `devRoot`: a block node by its device number, else the
    // kernel name its links end in.
    [[nodiscard]] std::optional<std::string> nameForDeviceNode(const std::string& node,
                                                               const std::string& devRoot = "/dev") const;
    // The block device a mounted file system stands on: by its device number, else (btrfs
    // and the like report an anonymous number) by the node its source names.
    [[nodiscard]] std::optional<std::string> nameForMount(const MountEntry& mount,
                                                          const std::string& devRoot = "/dev") const;

    // Devices built on this one (device-mapper, md) and the devices this one is built on.
    [[nodiscard]] std::vector<std::string> holders(const std::string& name) const;
    [[nodiscard]] std::vector<std::string> slaves(const std::string& name) const;
    // The whole disks that finally carry the device's data: slaves are followed down to
    // devices without slaves, and each of those is taken to its whole disk. In name order.
    [[nodiscard]] std::vector<std::string> physicalDisks(const std::string& name) const;
    // The file a loop device reads from, as the kernel names it; none for other devices and
    // for a loop device without one.
    [[nodiscard]] std::optional<std::string> loopBackingFile(const std::string& name) const;
    // For each mounted btrfs file system, the devices it spans, as <sys>/fs/btrfs/<uuid>/devices lists them.
    [[nodiscard]] std::vector<std::vector<std::string>> btrfsDeviceSets() const;

private:
    [[nodiscard]] std::filesystem::path entry(const std::string& name) const;
    [[nodiscard]] std::vector<std::string> listing(const std::string& name, const std::string& folder) const;
    void collectPhysicalDisks(const std::string& name, int depth, std::vector<std::string>& disks) const;

    std::string root;
};

}  // namespace marlowick
