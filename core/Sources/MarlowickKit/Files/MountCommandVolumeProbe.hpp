#pragma once
// The volume probe for a root process on a system where no udisks2 answers: partitions
// from sysfs (offset from "start", size, "ro"), their type from libblkid, mount points from
// the kernel's mount table by device number, and mounts made with mount(8) into a private
// folder under /run/marlowick/ (the kernel's driver first, the FUSE driver where the
// kernel lacks one). A mount that does not finish in time is killed and undone, never left
// half-made. Never throws.

#include <chrono>
#include <string>

#include "Block/SystemRoots.hpp"
#include "Files/VolumeMountProbe.hpp"

namespace marlowick {

class MountCommandVolumeProbe final : public VolumeMountProbe {
public:
    static constexpr const char* defaultMountRoot = "/run/marlowick";

    explicit MountCommandVolumeProbe(std::chrono::duration<double> timeout, std::string mountRootFolder = defaultMountRoot,
                                     SystemRoots roots = {})
        : mountTimeout(timeout), mountRoot(std::move(mountRootFolder)), systemRoots(std::move(roots)) {}

    [[nodiscard]] std::vector<PartitionVolumeInfo> partitions(const std::string& wholeDiskBSDName) override;
    [[nodiscard]] VolumeMountAttempt mount(const std::string& partitionBSDName) override;
    [[nodiscard]] std::optional<std::string> deviceNode(const std::filesystem::path& mountedAt) override;

    // The FUSE type mount(8) is given for a file system the kernel has no driver for, or
    // none: exfat → exfat-fuse.
    [[nodiscard]] static std::optional<std::string> fuseType(const std::string& type);
    // Whether /proc/filesystems lists the type.
    [[nodiscard]] static bool kernelKnows(const std::string& type);

    std::chrono::duration<double> mountTimeout;
    std::string mountRoot;
    SystemRoots systemRoots;
};

}  // namespace marlowick
