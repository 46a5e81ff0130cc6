#pragma once
// Unmounts every file system of one whole disk: mounts of the disk itself and of each of
// its partitions, found by device number (so a mount whose source names a label, a UUID
// or a node of our own is found too), bind mounts and stacked mounts included. Children
// go before their parents. Nothing is detached lazily or forced: a file system still
// in use stays mounted and the disk is refused.
//
// Refused before anything is unmounted: a disk the kernel does not list, a partition, a
// disk or partition that holds a device stacked on it (dm-crypt, LVM, md: unmounting
// cannot free those), and a mount of another device inside one of the disk's mounts.
// After unmounting, the mount table is read again and must show nothing of the disk.

#include <chrono>
#include <memory>
#include <string>

#include "Block/DiskUnmounter.hpp"
#include "Block/UnmountSystemCalls.hpp"

namespace marlowick {

class WholeDiskUnmounter final : public DiskUnmounter {
public:
    // A busy file system is tried this often in all, with a sync and a pause before each retry:
    // a writer that has just closed its files lets go within a moment.
    static constexpr int busyAttempts = 4;
    static constexpr std::chrono::milliseconds busyPause{250};

    WholeDiskUnmounter();
    // `calls` null means the real system calls.
    WholeDiskUnmounter(std::string sysfsRoot, std::string mountInfoPath,
                       std::shared_ptr<UnmountSystemCalls> calls = nullptr);

    [[nodiscard]] DiskUnmountResult unmountWholeDisk(const std::string& kernelName) override;

private:
    // Empty when the mount point is unmounted (or was gone already), else the refusal detail.
    [[nodiscard]] std::string unmountOne(const std::string& mountPoint);

    std::string sysfsRoot;
    std::string mountInfoPath;
    std::shared_ptr<UnmountSystemCalls> calls;
};

}  // namespace marlowick
