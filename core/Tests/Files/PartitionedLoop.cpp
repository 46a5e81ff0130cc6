#include "Files/PartitionedLoop.hpp"

#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "Block/MountTable.hpp"
#include "Block/SysfsBlockTree.hpp"

namespace marlowick::test {

std::unique_ptr<PartitionedLoop> PartitionedLoop::create(const std::string& fileSystem, std::int64_t partitionSectors,
                                                         std::string& whyNot) {
    if (!isRoot() || !hasTool("losetup") || !hasTool("sfdisk")) {
        whyNot = "needs root, losetup and sfdisk";
        return nullptr;
    }
    std::unique_ptr<PartitionedLoop> made(new PartitionedLoop());
    made->sectors = partitionSectors;
    const std::filesystem::path image = made->dir.file("disk.img");
    createSparseFile(image, (partitionStartSector + partitionSectors + 2048) * 512);
    const CommandOutput table = runCommand("printf 'label: dos\\nstart=2048, size=" + std::to_string(partitionSectors) +
                                           ", type=7\\n' | sfdisk -q '" + image.string() + "'");
    if (table.exitCode != 0) {
        whyNot = "sfdisk failed: " + table.output;
        return nullptr;
    }
    if (auto attached = LoopDevice::attach(image, 512, 0, 0, true)) made->loop.emplace(std::move(*attached));
    if (!made->loop) {
        whyNot = "no free loop device";
        return nullptr;
    }
    const std::string node = made->partitionNode();
    for (int i = 0; i < 100 && !std::filesystem::exists(node); ++i) {
        if (i == 20) (void)runCommand("partx -a " + made->loop->path());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!std::filesystem::exists(node)) {
        whyNot = "the kernel listed no partition on " + made->loop->path();
        return nullptr;
    }
    std::string format;
    if (fileSystem == "exfat") format = "mkfs.exfat -L MWTEST " + node;
    if (fileSystem == "ext4") format = "mkfs.ext4 -q -F -L MWTEST " + node;
    if (!format.empty()) {
        const CommandOutput formatted = runCommand("PATH=\"$PATH:/usr/sbin:/sbin\" " + format);
        if (formatted.exitCode != 0) {
            whyNot = format + " failed: " + formatted.output;
            return nullptr;
        }
    }
    return made;
}

void PartitionedLoop::unmountAll() const {
    if (!loop) return;
    const std::optional<DeviceNumber> number = SysfsBlockTree().deviceNumber(partitionName());
    if (!number) return;
    for (const MountEntry& entry : MountTable::read()) {
        if (entry.major == number->major && entry.minor == number->minor) {
            (void)::umount2(entry.mountPoint.c_str(), MNT_DETACH);
        }
    }
}

PartitionedLoop::~PartitionedLoop() {
    unmountAll();
    // A FUSE driver lets go of the device a moment after its unmount.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

}  // namespace marlowick::test
