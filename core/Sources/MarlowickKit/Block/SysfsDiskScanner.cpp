#include "Block/SysfsDiskScanner.hpp"

#include <filesystem>
#include <system_error>

#include "Block/SystemDiskUse.hpp"
#include "Block/UdevDeviceData.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

namespace fs = std::filesystem;

struct DiskIdentity {
    std::optional<std::string> mediaName;
    std::optional<std::string> deviceProtocol;
    std::optional<std::string> mediaContent;
    std::optional<std::string> vendor;
    std::optional<std::string> model;
    std::optional<std::string> revision;
    std::optional<std::string> serialNumber;
    bool isSecureDigitalCard = false;
};

bool hasPrefix(const std::string& name, std::string_view prefix) { return std::string_view(name).starts_with(prefix); }

bool hasText(const std::optional<std::string>& text) { return text && !isBlank(*text); }

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

// udev's name of the bus, as the transport this listing names.
std::optional<std::string> protocolForBus(const std::optional<std::string>& bus) {
    if (bus == "usb") return "USB";
    if (bus == "ata") return "SATA";
    if (bus == "scsi") return "SCSI";
    if (bus == "nvme") return "NVMe";
    return std::nullopt;
}

DiskIdentity sysfsIdentity(const SysfsBlockTree& tree, const std::string& name, const fs::path& devicePath,
                           const std::string& sysRoot) {
    DiskIdentity identity;
    if (hasPrefix(name, "loop")) {
        identity.deviceProtocol = "Virtual Interface";
        identity.serialNumber = tree.attribute(name, "loop/backing_file");
        if (identity.serialNumber) identity.mediaName = fs::path(*identity.serialNumber).filename().string();
        return identity;
    }
    if (hasPrefix(name, "dm-")) identity.mediaName = tree.attribute(name, "dm/name");
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
        identity.revision = tree.attribute(name, "device/fwrev");
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

// Where sysfs is silent (a missing or blank text), udev's database may know: the ATA
// serial number, the USB descriptor's vendor behind a blank inquiry string, the
// partition-table type.
void fillFromUdev(DiskIdentity& identity, const UdevDeviceData& udev) {
    if (udev.empty()) return;
    const auto fill = [](std::optional<std::string>& field, std::optional<std::string> known) {
        if (!hasText(field) && hasText(known)) field = std::move(known);
    };
    fill(identity.vendor, udev.text("ID_VENDOR"));
    fill(identity.model, udev.text("ID_MODEL"));
    // The SCSI translation of an ATA disk cuts its model to 16 characters; udev reads the
    // whole one from the drive.
    if (const auto whole = udev.text("ID_MODEL"); hasText(identity.model) && hasText(whole)) {
        const auto cut = trimmedWhiteSpace(*identity.model);
        if (const auto full = trimmedWhiteSpace(*whole); full.size() > cut.size() && full.starts_with(cut)) {
            identity.model = whole;
        }
    }
    fill(identity.revision, udev.value("ID_REVISION"));
    fill(identity.serialNumber, udev.value("ID_SERIAL_SHORT"));
    if (!identity.deviceProtocol) identity.deviceProtocol = protocolForBus(udev.value("ID_BUS"));
    if (!identity.mediaContent) identity.mediaContent = udev.value("ID_PART_TABLE_TYPE");
}

// Texts go into the fingerprint and from there into a JSON command: no invalid UTF-8.
void repair(std::optional<std::string>& text) {
    if (text) text = repairedUtf8(*text);
}

DiskIdentity identityOf(const SysfsBlockTree& tree, const std::string& name, const fs::path& devicePath,
                        const SystemRoots& roots) {
    DiskIdentity identity = sysfsIdentity(tree, name, devicePath, roots.sys);
    // A loop device is known by its backing file alone; udev adds nothing that identifies it.
    if (!hasPrefix(name, "loop")) {
        if (const auto number = tree.deviceNumber(name)) fillFromUdev(identity, UdevDeviceData::read(roots.udevData, *number));
    }
    if (!hasText(identity.serialNumber)) identity.serialNumber.reset();
    for (auto* text : {&identity.mediaName, &identity.deviceProtocol, &identity.mediaContent, &identity.vendor,
                       &identity.model, &identity.revision, &identity.serialNumber}) {
        repair(*text);
    }
    return identity;
}

// The media name (a device-mapper name, a loop device's backing file) when it has text,
// else vendor and model joined by one blank, else the kernel name.
std::string displayName(const DiskIdentity& identity, const std::string& kernelName) {
    if (hasText(identity.mediaName)) return trimmedWhiteSpace(*identity.mediaName);
    const auto joined = trimmedWhiteSpace(trimmedWhiteSpace(identity.vendor.value_or("")) + " " +
                                          trimmedWhiteSpace(identity.model.value_or("")));
    return joined.empty() ? kernelName : joined;
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
    if (isLoop && !tree.loopBackingFile(name)) return std::nullopt;

    const auto identity = identityOf(tree, name, *devicePath, systemRoots);
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
    disk.mediaContent = identity.mediaContent;
    disk.vendor = identity.vendor;
    disk.model = identity.model;
    disk.revision = identity.revision;
    disk.serialNumber = identity.serialNumber;
    // Solid state counts as fixed storage, which the picker hides by default. Behind a USB
    // bridge the kernel's rotational flag says what the bridge claims, not what the medium
    // is: flash sticks report either value. So a USB disk is never called solid state,
    // and an ordinary stick stays on offer; a disk in a USB enclosure is still caught by
    // the enclosure caution and the size rule. Loop devices and cards have no rotation to
    // speak of either.
    disk.isSolidState = tree.numberAttribute(name, "queue/rotational") == 0 && !isUsb && !isLoop && !isRemovable;
    if (systemUse.protects(name)) {
        disk.isInternal = true;
        disk.isRemovable = false;
        disk.isEjectable = false;
    }
    return disk;
}

}  // namespace marlowick
