#include "Home/OperationConfirmationPresentation.hpp"

#include "Block/DiscoveredDisk.hpp"
#include "Home/DriveSizeText.hpp"

namespace marlowick::OperationConfirmationPresentation {

using Kind = HomeOperationKind;

std::string title(Kind kind) {
    switch (kind) {
        case Kind::prepare: return "Prepare this drive?";
        case Kind::reinstall: return "Reinstall Ventoy?";
        case Kind::update: return "Update Ventoy?";
        case Kind::removeVentoy: return "Remove Ventoy?";
        case Kind::addImage: return "Add an image";
        case Kind::writeRawImage: return "Write this image over the drive?";
    }
    return {};
}

std::string explanation(Kind kind, const std::string& name, std::int64_t capacityBytes) {
    const std::string capacity = " (" + driveSizeText(capacityBytes) + ")";
    switch (kind) {
        case Kind::prepare:
            return "This erases everything on " + name + capacity + " and sets it up as a Ventoy multiboot drive.";
        case Kind::reinstall:
            return "This erases everything on " + name + capacity + " and reinstalls Ventoy with a compatible layout.";
        case Kind::update: return "This refreshes the boot files on " + name + ". Your ISOs are kept.";
        case Kind::removeVentoy:
            return "This erases Ventoy and everything on " + name + capacity + ", returning it to a plain drive.";
        case Kind::addImage: return "";
        case Kind::writeRawImage:
            return "This replaces everything on " + name + capacity +
                   " with the image below. The drive becomes a copy of that image.";
    }
    return {};
}

std::string actionLabel(Kind kind) {
    switch (kind) {
        case Kind::prepare: return "Prepare";
        case Kind::reinstall: return "Reinstall";
        case Kind::update: return "Update";
        case Kind::removeVentoy: return "Remove";
        case Kind::addImage: return "Add";
        case Kind::writeRawImage: return "Write";
    }
    return {};
}

std::string actionHint(Kind kind) {
    switch (kind) {
        case Kind::prepare: return "Erases the drive and sets it up as a Ventoy multiboot disk.";
        case Kind::reinstall: return "Erases the drive and reinstalls Ventoy with a compatible layout.";
        case Kind::update: return "Refreshes the boot files. Your images are kept.";
        case Kind::removeVentoy: return "Erases Ventoy and everything on the drive, returning it to plain storage.";
        case Kind::addImage: return "Copies an image you pick onto the drive.";
        case Kind::writeRawImage: return "Replaces everything on the drive with one disk image you pick.";
    }
    return {};
}

std::string downloadNotice(std::int64_t downloadBytes) {
    return "First use downloads about " + driveSizeText(downloadBytes) + " of Ventoy boot files.";
}

std::string acknowledgementLabel(const std::string& deviceName) {
    return "Confirm you understand this erases " + deviceName;
}

std::string acknowledgementHint(Kind kind) { return "Enables the " + actionLabel(kind) + " button."; }

bool isLargeDrive(std::optional<std::int64_t> capacityBytes) {
    return capacityBytes && *capacityBytes >= DiscoveredDisk::thumbDriveCapacityCeilingBytes;
}

bool showsLargeDriveCaution(Kind kind, std::optional<std::int64_t> capacityBytes) {
    return isDestructive(kind) && isLargeDrive(capacityBytes);
}

bool confirmEnabled(Kind kind, const AdvancedInstallOptions& options, std::int64_t capacityBytes, bool acknowledged) {
    if (!isDestructive(kind)) return true;
    if (reformatsDataPartition(kind) && options.validationError(capacityBytes)) return false;
    return acknowledged;
}

bool returnConfirms(Kind kind, bool enabled) { return !isDestructive(kind) && enabled; }

}  // namespace marlowick::OperationConfirmationPresentation
