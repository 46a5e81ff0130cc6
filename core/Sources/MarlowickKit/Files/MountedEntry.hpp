#pragma once
// One folder or file found on a mounted data volume, and what a capped read of a file gave.
// Plain values; no I/O.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Files/VolumePath.hpp"
#include "HelperWire/HelperImagePayloads.hpp"

namespace marlowick {

struct MountedEntry {
    VolumePath path;
    bool isDirectory = false;
    std::int64_t sizeBytes = 0;  // always 0 for a folder
    std::chrono::system_clock::time_point modifiedAt;

    MountedEntry() = default;
    MountedEntry(VolumePath entryPath, bool directory, std::int64_t size, std::chrono::system_clock::time_point modified)
        : path(std::move(entryPath)), isDirectory(directory), sizeBytes(directory ? 0 : size), modifiedAt(modified) {}

    // The last component; empty for the root.
    [[nodiscard]] std::string name() const { return path.name().value_or(""); }
    // The wire entry: path in its text form ("/tools/b.img"), name, size, folder flag.
    [[nodiscard]] HelperImageEntry helperEntry() const;

    // The files among `entries`, in their order, whose name's extension lower-cased is a
    // bootable image extension (iso, img, wim, vhd, vhdx, efi, vtoy). Folders never count.
    [[nodiscard]] static std::vector<HelperImageEntry> bootableImages(const std::vector<MountedEntry>& entries);

    bool operator==(const MountedEntry&) const = default;
};

struct MountedFileContent {
    std::vector<std::uint8_t> data;
    std::int64_t fileSizeBytes = 0;  // the whole file's size when it was read

    [[nodiscard]] bool isTruncated() const { return static_cast<std::int64_t>(data.size()) < fileSizeBytes; }
    bool operator==(const MountedFileContent&) const = default;
};

void PrintTo(const MountedEntry& entry, std::ostream* os);

}  // namespace marlowick
