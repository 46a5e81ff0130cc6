#pragma once
// Which mount holds a folder, and the real type of the file system mounted there. A folder
// maps to its mount by the device number stat gives it, the number the kernel's mount table
// lists; this holds for FUSE block mounts too (exfat-fuse), whose statfs reports one magic
// for every file system, so their real type is asked of the device itself.

#include <optional>
#include <string>
#include <string_view>

#include "Block/MountTable.hpp"

namespace marlowick::MountedFileSystemType {

// The mount whose file system holds the path (the topmost one when several share the
// device); none when the path cannot be examined or no mount matches.
[[nodiscard]] std::optional<MountEntry> mountHolding(const std::string& path,
                                                     const std::string& mountTable = std::string(MountTable::defaultPath));

// "exfat", "vfat", "ext4", …: the mount table's type, except for FUSE mounts, where it is
// the subtype ("fuse.fusefat" gives "fusefat") or, for a bare "fuseblk", the type libblkid
// (or, for a caller who may not read the device, the udev database) finds on the source
// device. None when it cannot be told.
[[nodiscard]] std::optional<std::string> of(const std::string& path);

// The FAT family: vfat, msdos, fat, umsdos and the FUSE fusefat.
[[nodiscard]] bool isFat(std::string_view type);

// The file-system type libblkid finds on a block device, else the one udev recorded for it.
[[nodiscard]] std::optional<std::string> probedType(const std::string& deviceNode);

}  // namespace marlowick::MountedFileSystemType
