#pragma once
// What reading an exFAT volume without mounting it answers: a listing of its entries,
// or its free space, or why neither could be had.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "Block/BlockError.hpp"

namespace marlowick {

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

}  // namespace marlowick
