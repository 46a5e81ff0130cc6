#pragma once
// The image files on a Ventoy drive's data partition: one entry, the listing, and the
// outcome of adding one image (which the application does itself through the mounted volume).
//   {"success":{"images":[{"path":"iso/a.iso","name":"a.iso","sizeBytes":4096,"isDirectory":false}]}}

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "Exfat/ExfatListingResult.hpp"
#include "HelperWire/HelperBlockError.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

struct HelperImageEntry {
    std::string path;  // within the data partition
    std::string name;
    std::int64_t sizeBytes = 0;
    bool isDirectory = false;

    HelperImageEntry() = default;
    HelperImageEntry(std::string entryPath, std::string fileName, std::int64_t size, bool directory)
        : path(std::move(entryPath)), name(std::move(fileName)), sizeBytes(size), isDirectory(directory) {}
    explicit HelperImageEntry(const ExfatEntry& entry)
        : HelperImageEntry(entry.path, entry.name, entry.sizeBytes, entry.isDirectory) {}

    bool operator==(const HelperImageEntry&) const = default;
};

struct HelperImageListing {
    struct Success {
        std::vector<HelperImageEntry> images;
        bool operator==(const Success&) const = default;
    };
    struct NotExfat {
        bool operator==(const NotExfat&) const = default;
    };
    struct Unsupported {
        std::string reason;
        bool operator==(const Unsupported&) const = default;
    };
    struct ReadFailed {
        HelperBlockError error;
        bool operator==(const ReadFailed&) const = default;
    };
    using Case = std::variant<Success, NotExfat, Unsupported, ReadFailed>;

    Case value;

    HelperImageListing() = default;
    explicit HelperImageListing(Case c) : value(std::move(c)) {}
    // Entry for entry, in order; no filtering here.
    explicit HelperImageListing(const ExfatListingResult& result);

    bool operator==(const HelperImageListing&) const = default;
};

struct HelperAddImageOutcome {
    struct Success {
        HelperImageEntry image;
        std::int64_t freeBytesAfter = 0;
        std::int64_t totalBytes = 0;
        bool operator==(const Success&) const = default;
    };
    struct NotExfat {
        bool operator==(const NotExfat&) const = default;
    };
    struct NotEnoughSpace {
        std::int64_t bytesNeeded = 0;
        std::int64_t bytesFree = 0;
        bool operator==(const NotEnoughSpace&) const = default;
    };
    struct Invalid {
        std::string reason;
        bool operator==(const Invalid&) const = default;
    };
    struct WriteFailed {
        std::string stage;
        HelperBlockError error;
        bool operator==(const WriteFailed&) const = default;
    };
    struct ReadFailed {
        HelperBlockError error;
        bool operator==(const ReadFailed&) const = default;
    };
    struct Unsupported {
        std::string reason;
        bool operator==(const Unsupported&) const = default;
    };
    struct Cancelled {
        bool operator==(const Cancelled&) const = default;
    };
    struct VerificationFailed {
        std::string reason;
        bool operator==(const VerificationFailed&) const = default;
    };
    struct VolumeUnavailable {
        std::string detail;
        bool operator==(const VolumeUnavailable&) const = default;
    };
    using Case = std::variant<Success, NotExfat, NotEnoughSpace, Invalid, WriteFailed, ReadFailed, Unsupported,
                              Cancelled, VerificationFailed, VolumeUnavailable>;

    Case value;
    bool operator==(const HelperAddImageOutcome&) const = default;
};

void PrintTo(const HelperImageEntry& entry, std::ostream* os);
void PrintTo(const HelperImageListing& listing, std::ostream* os);
void PrintTo(const HelperAddImageOutcome& outcome, std::ostream* os);

template <>
struct JsonCoding<HelperImageEntry> {
    static nlohmann::json encode(const HelperImageEntry& entry);
    static HelperImageEntry decode(const nlohmann::json& json, const JsonPath& path);
};

template <>
struct JsonCoding<HelperImageListing> {
    static nlohmann::json encode(const HelperImageListing& listing);
    static HelperImageListing decode(const nlohmann::json& json, const JsonPath& path);
};

template <>
struct JsonCoding<HelperAddImageOutcome> {
    static nlohmann::json encode(const HelperAddImageOutcome& outcome);
    static HelperAddImageOutcome decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
