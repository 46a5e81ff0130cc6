#pragma once
// Reads an exFAT volume straight from the sectors of partition 1 of a Ventoy drive,
// without mounting it: the files (and optionally the folders) on it, the bootable
// images among them, and the free space from the allocation bitmap.
//
// Reads through `BlockDevice` only; never writes, flushes or closes it. Never throws.
// The volume may come from anywhere, so nothing read from it is trusted: every walk has
// explicit limits, chains end at loops and at clusters outside the heap, entry sets
// that do not hold together are skipped, and a damaged folder yields the listing so far.

#include <cstdint>
#include <set>
#include <string>

#include "Block/BlockDevice.hpp"
#include "Exfat/ExfatListingResult.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick {

struct ExfatReadOptions {
    std::int64_t maxDepth = 0;                 // deepest folder level still entered; the root is level 0
    std::int64_t maxEntries = 0;               // the listing stops once it holds this many entries
    bool includeDirectories = false;           // whether folders appear in the listing themselves
    std::int64_t maxClustersPerDirectory = 0;  // at most this many clusters of any one folder are read
    bool operator==(const ExfatReadOptions&) const = default;
};

namespace ExfatDirectoryReader {

// The file extensions of images a Ventoy drive boots, lower case, without the dot.
inline const std::set<std::string> bootableImageExtensions{"iso", "img", "wim", "vhd", "vhdx", "efi", "vtoy"};

// Every file (and, with `includeDirectories`, every folder) within the limits, in walk
// order: depth first, a folder's contents right after its own entry.
[[nodiscard]] ExfatListingResult read(BlockDevice& block, const VentoyLayout& layout, const ExfatReadOptions& options);

// The listed files whose extension (the text after the last "." of the name) is in
// `extensions`, compared without regard to case. Folders are never included.
[[nodiscard]] ExfatListingResult readImages(BlockDevice& block, const VentoyLayout& layout,
                                            const std::set<std::string>& extensions, const ExfatReadOptions& options);

// Free and total bytes of the cluster heap, counted from the allocation bitmap.
[[nodiscard]] ExfatFreeSpaceResult readFreeSpace(BlockDevice& block, const VentoyLayout& layout,
                                                 const ExfatReadOptions& options);

}  // namespace ExfatDirectoryReader
}  // namespace marlowick
