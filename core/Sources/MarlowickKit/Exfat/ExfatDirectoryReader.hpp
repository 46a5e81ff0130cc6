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
#include <ostream>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Block/BlockError.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick {

struct ExfatReadOptions {
    std::int64_t maxDepth = 0;                 // deepest folder level still entered; the root is level 0
    std::int64_t maxEntries = 0;               // the listing stops once it holds this many entries
    bool includeDirectories = false;           // whether folders appear in the listing themselves
    std::int64_t maxClustersPerDirectory = 0;  // at most this many clusters of any one folder are read
    bool operator==(const ExfatReadOptions&) const = default;
};

struct ExfatEntry {
    std::string path;  // names joined by "/", no leading slash
    std::string name;
    std::int64_t sizeBytes = 0;  // 0 for a folder
    bool isDirectory = false;
    bool operator==(const ExfatEntry&) const = default;
};

struct ExfatListingResult {
    struct Success {
        std::vector<ExfatEntry> entries;
        bool operator==(const Success&) const = default;
    };
    struct Unsupported {
        std::string reason;
        bool operator==(const Unsupported&) const = default;
    };
    struct ReadFailed {
        BlockError error;
        bool operator==(const ReadFailed&) const = default;
    };
    struct NotExfat {
        bool operator==(const NotExfat&) const = default;
    };
    using Case = std::variant<Success, Unsupported, ReadFailed, NotExfat>;

    Case value;
    bool operator==(const ExfatListingResult&) const = default;
};

struct ExfatFreeSpaceResult {
    struct Success {
        std::int64_t freeBytes = 0;
        std::int64_t totalBytes = 0;
        bool operator==(const Success&) const = default;
    };
    using Unsupported = ExfatListingResult::Unsupported;
    using ReadFailed = ExfatListingResult::ReadFailed;
    using NotExfat = ExfatListingResult::NotExfat;
    using Case = std::variant<Success, Unsupported, ReadFailed, NotExfat>;

    Case value;
    bool operator==(const ExfatFreeSpaceResult&) const = default;
};

// "entry(path: \"a/b.iso\", name: \"b.iso\", sizeBytes: 3, isDirectory: false)"
[[nodiscard]] std::string render(const ExfatEntry& entry);
// "success(entries: [entry(...), ...])", "unsupported(reason: \"...\")", "readFailed(error: closed(...))", "notExfat"
[[nodiscard]] std::string render(const ExfatListingResult& result);
// "success(freeBytes: 4096, totalBytes: 8192)"
[[nodiscard]] std::string render(const ExfatFreeSpaceResult& result);
void PrintTo(const ExfatEntry& entry, std::ostream* os);
void PrintTo(const ExfatListingResult& result, std::ostream* os);
void PrintTo(const ExfatFreeSpaceResult& result, std::ostream* os);

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
