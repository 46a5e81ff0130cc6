#pragma once
// A small sysfs, procfs and /dev tree in a temporary folder, laid out as the kernel lays
// out the real ones: /sys/class/block/<name> and /sys/dev/block/<major>:<minor> are links
// into /sys/devices, a disk's `device` link points at the device it sits on. Its roots name
// a udev database of its own, so the machine's /run/udev never leaks into a test.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Block/SysfsBlockTree.hpp"
#include "Block/SystemRoots.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {

class SysfsFixture {
public:
    SysfsFixture();
    [[nodiscard]] SystemRoots roots() const;
    [[nodiscard]] const std::filesystem::path& path() const { return folder.path(); }

    // A whole disk whose folder is sys/devices/<diskFolder>; `size` in 512-byte units.
    void addDisk(const std::string& diskFolder, DeviceNumber number, std::int64_t size, int sectorSize = 512,
                 bool removable = false, bool rotational = true);
    // SATA disks of 1 GiB named sda, sdb, … (major 8, minors 0, 16, …), each with one partition "<name>1".
    void addSataDisks(const std::vector<std::string>& names);
    void addPartition(const std::string& disk, const std::string& name, DeviceNumber number, std::int64_t size);
    // Writes a file below sys/devices (for a disk's folder, for its device's attributes, for a USB device).
    void writeDeviceFile(const std::string& relativePath, const std::string& text);
    // `holder` (a device-mapper or md device) is built on `slave`.
    void stack(const std::string& holder, const std::string& slave);
    void addMount(const std::string& mountPoint, DeviceNumber number, const std::string& source,
                  const std::string& fsType = "ext4", const std::string& superOptions = "rw");
    // A loop device of that name reading from `backingFile`.
    void addLoopDevice(const std::string& name, DeviceNumber number, const std::string& backingFile);
    // A mounted btrfs file system spanning those devices (sys/fs/btrfs/<uuid>/devices).
    void addBtrfs(const std::string& uuid, const std::vector<std::string>& devices);
    void addSwap(const std::string& path, const std::string& type);
    // A link below the fixture's /dev, such as mapper/vg-root → ../dm-0.
    void linkDevNode(const std::string& node, const std::string& target);
    // udev's database record of a block device (run/udev/data/b<major>:<minor>), lines such
    // as "E:ID_SERIAL_SHORT=…". Without one, the fixture has no udev data at all.
    void writeUdevData(DeviceNumber number, const std::string& record);

private:
    [[nodiscard]] std::filesystem::path sys() const { return folder.path() / "sys"; }
    [[nodiscard]] std::filesystem::path diskFolder(const std::string& name) const;
    void rewriteMountInfo();

    TempDir folder;
    std::vector<std::string> mountLines;
    std::vector<std::string> swapLines;
};

// The device number of the file system holding `path` (0:0 when it cannot be looked at).
[[nodiscard]] DeviceNumber deviceNumberOf(const std::filesystem::path& path);

// The whole disk holding `path` as findmnt and lsblk see it; nullopt when its file system
// stands on no block device (tmpfs, overlay) or the tools are missing.
[[nodiscard]] std::optional<std::string> wholeDiskByLsblk(const std::filesystem::path& path);

}  // namespace marlowick::test
