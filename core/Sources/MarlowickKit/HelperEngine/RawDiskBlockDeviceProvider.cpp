#include "HelperEngine/RawDiskBlockDeviceProvider.hpp"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

#include "Text/ErrnoText.hpp"
#include "Block/RawDiskBlockDevice.hpp"
#include "Block/SysfsBlockTree.hpp"
#include "Block/WholeDiskUnmounter.hpp"
#include "Text/CaseDescription.hpp"
#include "Block/BlockErrorText.hpp"
#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

constexpr std::string_view devPrefix = "/dev/";

HelperCommandError refusal(std::string_view sentence, const std::string& reason) {
    return HelperCommandError{HelperCommandError::CouldNotOpenDevice{std::string(sentence) + " (" + reason + ")"}};
}

constexpr std::string_view impossibleGeometry =
    "Marlowick was given an impossible size for this drive. That's a bug in Marlowick \u2014 the drive was not "
    "changed.";
constexpr std::string_view notFound =
    "Marlowick couldn't find this drive as it was chosen. It may have been unplugged or replaced \u2014 choose it "
    "again and try again.";
constexpr std::string_view otherSize =
    "This drive doesn't report the size Marlowick was told about, so Marlowick left it alone. Choose it again from "
    "the list and try again.";
constexpr std::string_view changedWhileOpening =
    "The drive changed while Marlowick was opening it, so Marlowick left it alone. Choose it again from the list and "
    "try again.";

HelperCommandError unmountFailed(const std::string& reason) {
    return refusal("Marlowick couldn't unmount this drive before writing to it. Quit anything using it \u2014 or " +
                       std::string(PlatformWording::releaseDriveByHand) + " \u2014 and try again.",
                   reason);
}

// Empty when a device of `sectorSize`-byte sectors and `byteSize` bytes has the reference's geometry.
std::string geometryMismatch(const std::string& path, std::int64_t sectorSize, std::int64_t byteSize,
                             const HelperDiskRef& disk) {
    if (sectorSize != disk.sectorSize) {
        return path + " reports " + std::to_string(sectorSize) + "-byte sectors, the command expects " +
               std::to_string(disk.sectorSize);
    }
    if (sectorSize < 1 || byteSize % sectorSize != 0) {
        return path + " reports " + std::to_string(byteSize) + " bytes, not a whole number of " +
               std::to_string(sectorSize) + "-byte sectors";
    }
    if (byteSize / sectorSize != disk.sectorCount) {
        return path + " reports " + std::to_string(byteSize / sectorSize) + " sectors, the command expects " +
               std::to_string(disk.sectorCount);
    }
    return {};
}

// The whole disk the reference names, as the kernel lists it.
struct ListedDisk {
    std::string name;
    DeviceNumber number;
};

std::variant<ListedDisk, HelperCommandError> listedDisk(const HelperDiskRef& disk, const std::string& sysfsRoot,
                                                        RawDiskSystemCalls& calls) {
    const std::string& path = disk.rawDevicePath;
    const std::string name = path.rfind(devPrefix, 0) == 0 ? path.substr(devPrefix.size()) : std::string();
    if (!SysfsBlockTree::isKernelName(name)) {
        return refusal(notFound, CaseDescription::quoted(path) + " is not a /dev/<disk> path");
    }
    const SysfsBlockTree tree(sysfsRoot);
    const auto number = tree.deviceNumber(name);
    if (!number) return refusal(notFound, "the kernel lists no block device " + name);
    if (tree.isPartition(name)) return refusal(notFound, name + " is a partition, not a whole disk");

    const auto sectorSize = tree.numberAttribute(name, "queue/logical_block_size");
    const auto sizeBytes = tree.sizeBytes(name);
    if (!sectorSize || !sizeBytes) return refusal(notFound, "the kernel lists no size for " + name);
    std::string mismatch = geometryMismatch(path, *sectorSize, *sizeBytes, disk);
    if (!mismatch.empty()) return refusal(otherSize, mismatch);

    struct ::stat status {};
    if (calls.stat(path, status) != 0) {
        const std::string reason = currentErrnoText();
        return refusal(notFound, "stat " + path + ": " + reason);
    }
    const DeviceNumber node{major(status.st_rdev), minor(status.st_rdev)};
    if (!S_ISBLK(status.st_mode) || node != *number) {
        return refusal(notFound,
                       path + " is not the block device " + text(*number) + " the kernel lists as " + name);
    }
    return ListedDisk{name, *number};
}

// Empty when the opened descriptor is the listed disk with the reference's geometry.
std::string openedNodeMismatch(const RawDiskBlockDevice& device, const ListedDisk& listed, const HelperDiskRef& disk) {
    const auto described = device.openedNode();
    if (const auto* reason = std::get_if<std::string>(&described)) return *reason;
    const auto& node = std::get<RawDiskBlockDevice::OpenedNode>(described);
    const DeviceNumber opened{node.major, node.minor};
    if (opened != listed.number) {
        return disk.rawDevicePath + " opened block device " + text(opened) + ", the kernel lists " +
               listed.name + " as " + text(listed.number);
    }
    return geometryMismatch(disk.rawDevicePath, node.logicalSectorSize, node.byteSize, disk);
}

bool isPermissionRefusal(const BlockError& error) {
    const auto* failure = std::get_if<BlockError::DeviceFailure>(&error.value);
    return failure != nullptr && failure->detail.find("errno 13 (") != std::string::npos;
}

}  // namespace

RawDiskBlockDeviceProvider::RawDiskBlockDeviceProvider() : RawDiskBlockDeviceProvider(nullptr, SysfsBlockTree::defaultRoot) {}

RawDiskBlockDeviceProvider::RawDiskBlockDeviceProvider(std::shared_ptr<DiskUnmounter> diskUnmounter,
                                                       std::string sysfs,
                                                       std::shared_ptr<RawDiskSystemCalls> systemCalls)
    : unmounter(diskUnmounter ? std::move(diskUnmounter) : std::make_shared<WholeDiskUnmounter>()),
      sysfsRoot(std::move(sysfs)),
      calls(systemCalls ? std::move(systemCalls) : std::make_shared<RawDiskSystemCalls>()) {}

int RawDiskBlockDeviceProvider::maxChunkSectors(std::int64_t sectorSize) {
    const std::int64_t sectors = maxTransferBytes / std::max<std::int64_t>(sectorSize, 1);
    return static_cast<int>(std::clamp<std::int64_t>(sectors, 1, RawDiskBlockDevice::maxChunkSectorsLimit));
}

HelperDeviceOpenResult RawDiskBlockDeviceProvider::open(const HelperDiskRef& disk, BlockAccessMode access) {
    if (disk.sectorSize < 1 || disk.sectorCount < 1) {
        return refusal(impossibleGeometry, "sector size " + std::to_string(disk.sectorSize) + ", sector count " +
                                  std::to_string(disk.sectorCount));
    }
    auto checked = listedDisk(disk, sysfsRoot, *calls);
    if (auto* error = std::get_if<HelperCommandError>(&checked)) return std::move(*error);
    const auto& listed = std::get<ListedDisk>(checked);

    if (access == BlockAccessMode::readWrite) {
        const DiskUnmountResult unmounted = unmounter->unmountWholeDisk(listed.name);
        if (const auto* refused = std::get_if<DiskUnmountRefused>(&unmounted)) return unmountFailed(refused->detail);
    }

    // The listed geometry equals the reference's, so the sector size is a real one and fits an int.
    auto opened = RawDiskBlockDevice::open(disk.rawDevicePath, static_cast<int>(disk.sectorSize), disk.sectorCount,
                                           maxChunkSectors(disk.sectorSize), access, calls);
    if (const auto* error = std::get_if<BlockError>(&opened)) {
        // A read-only disk answers a read-write open with EACCES: that is the medium's
        // write protection, not a permission the system withheld.
        if (access == BlockAccessMode::readWrite && isPermissionRefusal(*error) &&
            SysfsBlockTree(sysfsRoot).numberAttribute(listed.name, "ro") == 1) {
            return HelperCommandError{HelperCommandError::CouldNotOpenDevice{std::string(BlockErrorText::writeProtected)}};
        }
        return HelperCommandError{HelperCommandError::CouldNotOpenDevice{userMessage(*error)}};
    }
    auto device = std::move(std::get<std::unique_ptr<RawDiskBlockDevice>>(opened));
    const std::string mismatch = openedNodeMismatch(*device, listed, disk);
    if (!mismatch.empty()) {
        device->close();
        return refusal(changedWhileOpening, mismatch);
    }
    return std::unique_ptr<BlockDevice>(std::move(device));
}

}  // namespace marlowick
