#include "Files/MountedFileSystemType.hpp"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include "Block/BlockSignatureProbe.hpp"
#include "Block/UdevDeviceData.hpp"

namespace marlowick::MountedFileSystemType {
namespace {

constexpr long msdosSuperMagic = 0x4d44;
constexpr long exfatSuperMagic = 0x2011BAB0;

}  // namespace

std::optional<MountEntry> mountHolding(const std::string& path, const std::string& mountTable) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    std::optional<MountEntry> found;
    for (MountEntry& entry : MountTable::read(mountTable)) {
        if (entry.major == major(info.st_dev) && entry.minor == minor(info.st_dev)) found = std::move(entry);
    }
    return found;
}

std::optional<std::string> probedType(const std::string& deviceNode) {
    const auto signature = probeBlockSignature(deviceNode, std::nullopt, UdevDeviceData::defaultRoot);
    if (!signature || signature->type.empty()) return std::nullopt;
    return signature->type;
}

std::optional<std::string> of(const std::string& path) {
    const std::optional<MountEntry> mount = mountHolding(path);
    if (!mount) {
        struct statfs info {};
        if (::statfs(path.c_str(), &info) != 0) return std::nullopt;
        if (info.f_type == msdosSuperMagic) return "vfat";
        if (info.f_type == exfatSuperMagic) return "exfat";
        return std::nullopt;
    }
    const std::string& type = mount->fsType;
    for (const std::string_view prefix : {"fuse.", "fuseblk."}) {
        if (type.starts_with(prefix) && type.size() > prefix.size()) return type.substr(prefix.size());
    }
    if (type == "fuseblk" || type == "fuse") {
        if (!mount->source.starts_with("/dev/")) return std::nullopt;
        return probedType(mount->source);
    }
    return type;
}

bool isFat(std::string_view type) {
    return type == "vfat" || type == "msdos" || type == "fat" || type == "umsdos" || type == "fusefat";
}

}  // namespace marlowick::MountedFileSystemType
