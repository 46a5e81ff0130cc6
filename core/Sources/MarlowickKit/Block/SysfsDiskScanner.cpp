#include "Block/SysfsDiskScanner.hpp"

#include <filesystem>
#include <system_error>

#include "Block/SystemDiskUse.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;


struct DiskIdentity {
    std::optional<std::string> deviceProtocol;
    std::optional<std::string> vendor;
    std::optional<std::string> model;
    std::optional<std::string> revision;
    std::optional<std::string> serialNumber;
    bool isSecureDigitalCard = false;
};

std::string trimmed(const std::string& text) { return std::string(trimmedWhiteSpace(text)); }

bool hasPrefix(const std::string& name, std::string_view prefix) { return std::string_view(name).starts_with(prefix); }

// The USB device the disk hangs below: the nearest ancestor folder that describes one.
std::optional<fs::path> usbDevice(const fs::path& devicePath, const fs::path& sysRoot) {
    std::error_code error;
    const auto root = fs::canonical(sysRoot, error);
    if (error) return std::nullopt;
    for (fs::path folder = devicePath.parent_path(); folder.string().size() > root.string().size();
         folder = folder.parent_path()) {
        if (fs::exists(folder / "idVendor", error) && fs::exists(folder / "idProduct", error)) return folder;
    }
    return std::nullopt;
}

bool onAtaBus(const fs::path& devicePath) {
    for (const auto& part : devicePath) {
        if (hasPrefix(part.string(), "ata")) return true;
    }
    return false;
}

DiskIdentity identityOf(const SysfsBlockTree& tree, const std::string& name, const fs::path& devicePath,
                        const std::string& sysRoot) {
    DiskIdentity identity;
    if (hasPrefix(name, "loop")) {
        identity.deviceProtocol = "Virtual Interface";
        identity.serialNumber = tree.attribute(name, "loop/backing_file");
        return identity;
    }
    if (hasPrefix(name, "nvme")) {
        identity.deviceProtocol = "NVMe";
        identity.model = tree.attribute(name, "device/model");
        identity.revision = tree.attribute(name, "device/firmware_rev");
        identity.serialNumber = tree.attribute(name, "device/serial");
    } else if (hasPrefix(name, "mmcblk")) {
        // An SD card in a built-in slot; "MMC" is soldered eMMC storage.
        identity.isSecureDigitalCard = tree.attribute(name, "device/type") == "SD";
        identity.deviceProtocol = identity.isSecureDigitalCard ? "SD" : "MMC";
        identity.model = tree.attribute(name, "device/name");
        identity.serialNumber = tree.attribute(name, "device/serial");
    } else if (hasPrefix(name, "vd")) {
        identity.deviceProtocol = "Virtio";
        identity.serialNumber = tree.attribute(name, "serial");
    } else if (tree.attribute(name, "device/model")) {
        identity.deviceProtocol = onAtaBus(devicePath) ? "SATA" : "SCSI";
        identity.vendor = tree.attribute(name, "device/vendor");
        identity.model = tree.attribute(name, "device/model");
        identity.revision = tree.attribute(name, "device/rev");
    }
    if (const auto usb = usbDevice(devicePath, sysRoot)) {
        identity.deviceProtocol = "USB";
        identity.serialNumber = SysfsBlockTree::readAttributeFile(*usb / "serial");
    }
    return identity;
}

std::string displayName(const DiskIdentity& identity, const std::string& fallback) {
    const auto joined = trimmed(trimmed(identity.vendor.value_or("")) + " " + trimmed(identity.model.value_or("")));
    return joined.empty() ? fallback : joined;
}

}  // namespace

SysfsDiskScanner::SysfsDiskScanner(SystemRoots roots) : systemRoots(std::move(roots)), tree(systemRoots.sys) {}

std::vector<DiscoveredDisk> SysfsDiskScanner::scan(std::optional<DriveVisibility> visibility) const {
    const SystemDiskUse systemUse(systemRoots);
    std::vector<DiscoveredDisk> disks;
    for (const auto& name : tree.blockNames()) {
        if (tree.isPartition(name)) continue;
        if (auto disk = describeWholeDisk(name, systemUse)) disks.push_back(std::move(*disk));
    }
    if (visibility) return DiscoveredDisk::eligibleTargets(disks, *visibility, false);
    return disks;
}

std::optional<DiscoveredDisk> SysfsDiskScanner::disk(const std::string& name) const {
    const auto whole = tree.wholeDisk(name);
    if (!whole) return std::nullopt;
    const SystemDiskUse systemUse(systemRoots);
    auto described = describeWholeDisk(*whole, systemUse);
    if (!described || *whole == name) return described;

    const auto bytes = tree.sizeBytes(name);
    if (!bytes || *bytes <= 0) return std::nullopt;
    described->bsdName = name;
    described->isWhole = false;
    described->geometry.capacityBytes = *bytes;
    described->geometry.sectorCount = described->geometry.capacityBytes / described->geometry.sectorSize;
    return described;
}

std::optional<DiscoveredDisk> SysfsDiskScanner::describeWholeDisk(const std::string& name,
                                                                  const SystemDiskUse& systemUse) const {
    if (hasPrefix(name, "sr") || hasPrefix(name, "fd")) return std::nullopt;
    const auto bytes = tree.sizeBytes(name);
    const auto sectorSize = tree.numberAttribute(name, "queue/logical_block_size");
    const auto devicePath = tree.devicePath(name);
    if (!bytes || *bytes <= 0 || !sectorSize || *sectorSize <= 0 || !devicePath) return std::nullopt;
    const bool isLoop = hasPrefix(name, "loop");
    if (isLoop && tree.attribute(name, "loop/backing_file").value_or("").empty()) return std::nullopt;

    const auto identity = identityOf(tree, name, *devicePath, systemRoots.sys);
    const bool isUsb = identity.deviceProtocol == "USB";
    const bool isRemovable = tree.numberAttribute(name, "removable") == 1 || identity.isSecureDigitalCard;

    DiscoveredDisk disk;
    disk.bsdName = name;
    disk.name = displayName(identity, name);
    disk.geometry.sectorSize = static_cast<int>(*sectorSize);
    disk.geometry.capacityBytes = *bytes;
    disk.geometry.sectorCount = disk.geometry.capacityBytes / *sectorSize;
    disk.isWhole = true;
    disk.isRemovable = isRemovable;
    disk.isEjectable = isRemovable || isUsb;
    disk.isInternal = !isUsb && !isRemovable && !isLoop;
    disk.deviceProtocol = identity.deviceProtocol;
    disk.vendor = identity.vendor;
    disk.model = identity.model;
    disk.revision = identity.revision;
    disk.serialNumber = identity.serialNumber;
    // USB bridges and loop devices pass the rotational flag of nothing in particular.
    disk.isSolidState = tree.numberAttribute(name, "queue/rotational") == 0 && !isUsb && !isLoop && !isRemovable;
    if (systemUse.protects(name)) {
        disk.isInternal = true;
        disk.isRemovable = false;
        disk.isEjectable = false;
    }
    return disk;
}

}  // namespace marlowick
