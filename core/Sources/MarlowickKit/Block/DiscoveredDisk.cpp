#include "Block/DiscoveredDisk.hpp"

#include <algorithm>
#include <array>

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

// Kernel names of block devices that stand on other storage or on memory.
constexpr std::array<std::string_view, 5> synthesizedNamePrefixes{"dm-", "md", "zram", "ram", "nbd"};

}  // namespace

bool isSynthesizedContainerContentType(std::string_view mediaContent) {
    return mediaContent == "EF57347C-0000-11AA-AA11-00306543ECAC" ||
           mediaContent == "53746F72-6167-11AA-AA11-00306543ECAC";
}

bool DiscoveredDisk::isSynthesizedContainer() const {
    if (mediaContent && isSynthesizedContainerContentType(*mediaContent)) return true;
    return std::any_of(synthesizedNamePrefixes.begin(), synthesizedNamePrefixes.end(),
                       [this](std::string_view prefix) { return bsdName.starts_with(prefix); });
}

bool DiscoveredDisk::isFixedStorage() const {
    if (deviceProtocol == "Virtual Interface") return false;
    if (isSolidState) return true;
    if (isRemovable) return false;
    return geometry.capacityBytes >= thumbDriveCapacityCeilingBytes;
}

std::optional<DriveCaution> DiscoveredDisk::caution() const {
    if (isUsbTransport() && !isRemovable) return DriveCaution::fixedDiskInEnclosure;
    if (geometry.capacityBytes >= thumbDriveCapacityCeilingBytes) return DriveCaution::unusuallyLarge;
    return std::nullopt;
}

DeviceFingerprint DiscoveredDisk::fingerprint() const {
    return DeviceFingerprint(serialNumber, vendor, model, revision, geometry.capacityBytes, geometry.sectorSize,
                             isRemovable, isInternal);
}

bool DiscoveredDisk::isEligibleTarget(DriveVisibility visibility, bool includeFixedStorage) const {
    if (!isWhole || isSynthesizedContainer() || isProtectedSystemDisk()) return false;
    if (!includeFixedStorage && isFixedStorage()) return false;
    return visibility == DriveVisibility::usbOnly ? isUsbTransport() : isExternal();
}

std::vector<DiscoveredDisk> DiscoveredDisk::eligibleTargets(const std::vector<DiscoveredDisk>& disks,
                                                            DriveVisibility visibility, bool includeFixedStorage) {
    std::vector<DiscoveredDisk> eligible;
    std::copy_if(disks.begin(), disks.end(), std::back_inserter(eligible),
                 [&](const DiscoveredDisk& disk) { return disk.isEligibleTarget(visibility, includeFixedStorage); });
    std::stable_sort(eligible.begin(), eligible.end(),
                     [](const DiscoveredDisk& a, const DiscoveredDisk& b) { return a.bsdName < b.bsdName; });
    return eligible;
}

void PrintTo(const DiscoveredDisk& disk, std::ostream* os) {
    *os << CaseDescription("DiscoveredDisk")
               .field("bsdName", disk.bsdName)
               .field("capacityBytes", disk.geometry.capacityBytes)
               .field("isWhole", disk.isWhole)
               .field("isRemovable", disk.isRemovable)
               .field("isInternal", disk.isInternal)
               .rawField("deviceProtocol", disk.deviceProtocol ? CaseDescription::quoted(*disk.deviceProtocol) : "nil")
               .str();
}

}  // namespace marlowick
