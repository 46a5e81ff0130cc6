#pragma once
// One whole disk as drive discovery listed it, with the rules that decide whether it may be
// offered as a target. A disk is named by its kernel name (sdb, nvme0n1, mmcblk0, loop3);
// `bsdName` holds that name. A plain value; no I/O.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Block/DeviceFingerprint.hpp"
#include "Block/DriveCaution.hpp"
#include "Block/DriveVisibility.hpp"

namespace marlowick {

struct DiscoveredDisk {
    // 200 GB (decimal): larger disks get a caution, and non-removable ones count as fixed storage.
    static constexpr std::int64_t thumbDriveCapacityCeilingBytes = 200'000'000'000;

    std::string bsdName;  // kernel name of the whole disk, never empty
    std::string name;     // display name
    BlockGeometry geometry;
    bool isWhole = false;
    bool isRemovable = false;
    bool isEjectable = false;
    bool isInternal = false;
    std::optional<std::string> deviceProtocol;  // the transport, such as "USB"
    std::optional<std::string> mediaContent;    // partition-scheme or container content type
    std::optional<std::string> vendor;          // as reported, not trimmed
    std::optional<std::string> model;
    std::optional<std::string> revision;
    std::optional<std::string> serialNumber;
    bool isSolidState = false;

    // "/dev/" + kernel name. Linux has no separate raw node: the raw path is the same.
    [[nodiscard]] std::string devicePath() const { return "/dev/" + bsdName; }
    [[nodiscard]] std::string rawDevicePath() const { return devicePath(); }

    [[nodiscard]] bool isExternal() const { return isRemovable || isEjectable || !isInternal; }
    [[nodiscard]] bool isUsbTransport() const { return deviceProtocol == "USB"; }
    // A disk the system builds from other storage rather than a physical drive: a container
    // content type, or a device-mapper, md RAID, zram, RAM or network block device.
    [[nodiscard]] bool isSynthesizedContainer() const;
    [[nodiscard]] bool isProtectedSystemDisk() const { return isInternal && !isRemovable; }
    [[nodiscard]] bool isFixedStorage() const;
    [[nodiscard]] std::optional<DriveCaution> caution() const;
    // Texts trimmed of white space and line breaks, an empty one becoming absent.
    [[nodiscard]] DeviceFingerprint fingerprint() const;

    // Whole, not synthesized, not the system disk, not fixed storage unless asked for, and
    // on USB (usbOnly) or external (allExternal).
    [[nodiscard]] bool isEligibleTarget(DriveVisibility visibility, bool includeFixedStorage) const;
    // The eligible disks, sorted by kernel name in plain character order (sdb10 before sdb2).
    [[nodiscard]] static std::vector<DiscoveredDisk> eligibleTargets(const std::vector<DiscoveredDisk>& disks,
                                                                     DriveVisibility visibility,
                                                                     bool includeFixedStorage);

    bool operator==(const DiscoveredDisk&) const = default;
};

// The two container content types: an APFS container and a Core Storage volume.
[[nodiscard]] bool isSynthesizedContainerContentType(std::string_view mediaContent);

void PrintTo(const DiscoveredDisk& disk, std::ostream* os);

}  // namespace marlowick
