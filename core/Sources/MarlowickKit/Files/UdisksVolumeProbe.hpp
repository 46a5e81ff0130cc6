#pragma once
// The volume probe over udisks2, the service desktop file managers mount removable drives
// with, reached on the system D-Bus through sd-bus (DBUS_SYSTEM_BUS_ADDRESS is honoured).
// Partitions come from the whole disk's PartitionTable, each described by its Block
// (device, size, IdType, ReadOnly), Partition (offset, table) and Filesystem (MountPoints)
// interfaces. A mount is Filesystem.Mount as the calling user, polkit deciding, with the
// probe's time-out as the call's. Each call opens its own bus connection; never throws.

#include <chrono>

#include "Files/VolumeMountProbe.hpp"

namespace marlowick {

class UdisksVolumeProbe final : public VolumeMountProbe {
public:
    explicit UdisksVolumeProbe(std::chrono::duration<double> timeout) : mountTimeout(timeout) {}

    // Whether a udisks2 service answers on the system bus now (starting it by bus
    // activation where the bus offers that), within `timeout`.
    [[nodiscard]] static bool serviceAnswers(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    [[nodiscard]] std::vector<PartitionVolumeInfo> partitions(const std::string& wholeDiskBSDName) override;
    [[nodiscard]] VolumeMountAttempt mount(const std::string& partitionBSDName) override;
    // The source of the mount that holds the folder (stat's device number looked up in
    // /proc/self/mountinfo); FUSE block mounts list their device there too.
    [[nodiscard]] std::optional<std::string> deviceNode(const std::filesystem::path& mountedAt) override;

    // Lets go of a whole disk the way a file manager's eject does: unmounts every mounted
    // file system of the disk and its partitions, then ejects the drive's medium and
    // powers the drive off where the drive can do either (a loop device or an internal
    // disk can only be unmounted). None when the drive was let go of, else why not.
    [[nodiscard]] static std::optional<std::string> ejectDrive(const std::string& wholeDiskBSDName);

    std::chrono::duration<double> mountTimeout;
};

}  // namespace marlowick
