#include "Files/MountedFileSystemType.hpp"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <fstream>

namespace marlowick::MountedFileSystemType {
namespace {

constexpr long msdosSuperMagic = 0x4d44;
constexpr long exfatSuperMagic = 0x2011BAB0;

std::optional<std::string> blkidType(const std::string& deviceNode) {
    blkid_probe probe = blkid_new_probe_from_filename(deviceNode.c_str());
    if (probe == nullptr) return std::nullopt;
    std::optional<std::string> type;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE);
    const char* value = nullptr;
    if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0 &&
        value != nullptr) {
        type = value;
    }
    blkid_free_probe(probe);
    return type;
}

// udev keeps "E:ID_FS_TYPE=vfat" in /run/udev/data/b<major>:<minor>, readable by everyone.
std::optional<std::string> udevType(const std::string& deviceNode) {
    struct stat node {};
    if (::stat(deviceNode.c_str(), &node) != 0 || !S_ISBLK(node.st_mode)) return std::nullopt;
    std::ifstream data("/run/udev/data/b" + std::to_string(major(node.st_rdev)) + ":" +
                       std::to_string(minor(node.st_rdev)));
    constexpr std::string_view key = "E:ID_FS_TYPE=";
    for (std::string line; std::getline(data, line);) {
        if (line.starts_with(key) && line.size() > key.size()) return line.substr(key.size());
    }
    return std::nullopt;
}

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
    if (std::optional<std::string> type = blkidType(deviceNode)) return type;
    return udevType(deviceNode);
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
