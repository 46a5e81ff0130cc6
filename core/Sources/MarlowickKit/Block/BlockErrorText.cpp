#include "Block/BlockErrorText.hpp"

#include <array>
#include <string_view>

#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

std::string verbPhrase(const std::string& operation) {
    if (operation == "open") return "opening";
    if (operation == "read") return "reading";
    if (operation == "write") return "writing to";
    return "working with";
}

// The block layer's details end in "errno N (text)", so an error is caught by number and
// by wording alike. "errno 1 (" cannot match "errno 10 (" or "errno 13 (".
template <std::size_t count>
bool mentions(const std::string& detail, const std::array<std::string_view, count>& markers) {
    for (const std::string_view marker : markers) {
        if (detail.find(marker) != std::string::npos) return true;
    }
    return false;
}

// EPERM and EACCES.
bool isPermissionDenied(const std::string& detail) {
    return mentions(detail, std::array<std::string_view, 4>{"errno 1 (", "errno 13 (", "Operation not permitted",
                                                            "Permission denied"});
}

// EBUSY: an exclusive open refused while a volume of the disk is mounted (in this or in
// another mount namespace) or another program holds the disk. The drive is not failing.
bool isBusy(const std::string& detail) {
    return mentions(detail, std::array<std::string_view, 2>{"errno 16 (", "Device or resource busy"});
}

// EROFS: the medium refuses writes.
bool isWriteProtected(const std::string& detail) {
    return mentions(detail, std::array<std::string_view, 2>{"errno 30 (", "Read-only file system"});
}

struct UserText {
    std::string operator()(const BlockError::Closed& e) const {
        return "The connection to the drive closed before Marlowick finished " + verbPhrase(e.operation) +
               " it \u2014 it was most likely unplugged.";
    }
    std::string operator()(const BlockError::DeviceFailure& e) const {
        if (isBusy(e.detail)) return std::string(BlockErrorText::driveInUse);
        if (isWriteProtected(e.detail)) return std::string(BlockErrorText::writeProtected);
        if (isPermissionDenied(e.detail)) {
            return std::string(PlatformWording::operatingSystem) + " didn't allow Marlowick to use this drive. " +
                   std::string(PlatformWording::accessRemedy);
        }
        return "The drive reported an error while Marlowick was " + verbPhrase(e.operation) +
               " it. It may have been unplugged, or it may be failing.";
    }
    template <class AddressingFault>
    std::string operator()(const AddressingFault&) const {
        return "Marlowick addressed a region this drive doesn't have. That's a bug in Marlowick \u2014 the drive was "
               "not changed.";
    }
};

struct DiagnosticText {
    std::string operator()(const BlockError::NegativeSector& e) const {
        return "negative sector " + std::to_string(e.startSector);
    }
    std::string operator()(const BlockError::OutOfBounds& e) const {
        return "out of bounds: " + std::to_string(e.sectorCount) + " sector(s) at " + std::to_string(e.startSector) +
               " on a " + std::to_string(e.deviceSectorCount) + "-sector device";
    }
    std::string operator()(const BlockError::MisalignedLength& e) const {
        return "misaligned length " + std::to_string(e.length) + " for " + std::to_string(e.sectorSize) +
               "B sectors";
    }
    std::string operator()(const BlockError::InvalidSectorCount& e) const {
        return "invalid sector count " + std::to_string(e.sectorCount);
    }
    std::string operator()(const BlockError::Closed& e) const { return "device already closed during " + e.operation; }
    std::string operator()(const BlockError::DeviceFailure& e) const {
        return "device failure during " + e.operation + ": " + e.detail;
    }
};

}  // namespace

std::string userMessage(const BlockError& error) { return std::visit(UserText{}, error.value); }

std::string diagnosticDescription(const BlockError& error) { return std::visit(DiagnosticText{}, error.value); }

}  // namespace marlowick
