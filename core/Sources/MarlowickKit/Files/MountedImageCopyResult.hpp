#pragma once
// How copying one image onto a mounted volume ended. Only `copied` leaves a file under the
// image's name; every other case leaves neither that file nor the hidden partial one.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "Exfat/ExfatWriteError.hpp"

namespace marlowick {

struct MountedImageCopyResult {
    // freeBytesAfter and totalBytes are -1 when the space probe gave nothing.
    struct Copied {
        std::int64_t sizeBytes = 0;
        std::int64_t freeBytesAfter = 0;
        std::int64_t totalBytes = 0;
        bool operator==(const Copied&) const = default;
    };
    struct SourceUnreadable {
        std::string detail;
        bool operator==(const SourceUnreadable&) const = default;
    };
    // The source names no regular file; `kind` says what it is ("a FIFO", "a directory").
    struct SourceNotAFile {
        std::string kind;
        bool operator==(const SourceNotAFile&) const = default;
    };
    // negativeSize, emptyName or nameTooLong.
    struct Rejected {
        ExfatWriteError error;
        bool operator==(const Rejected&) const = default;
    };
    // bytesFree is -1 when unknown.
    struct NotEnoughSpace {
        std::int64_t bytesNeeded = 0;
        std::int64_t bytesFree = 0;
        bool operator==(const NotEnoughSpace&) const = default;
    };
    struct TooLargeForFilesystem {
        std::int64_t sizeBytes = 0;
        std::int64_t limitBytes = 0;
        bool operator==(const TooLargeForFilesystem&) const = default;
    };
    // The source holds fewer bytes than declared: found so when it was opened, or it ended early.
    struct SourceTooShort {
        std::int64_t declared = 0;
        std::int64_t actual = 0;
        bool operator==(const SourceTooShort&) const = default;
    };
    // The opened source holds more bytes than declared: copying the declared part would put
    // a cut-off image on the drive (a caller that could not read the size declares 0).
    struct SourceSizeMismatch {
        std::int64_t declared = 0;
        std::int64_t actual = 0;
        bool operator==(const SourceSizeMismatch&) const = default;
    };
    // stage: "create", "write", "flush" or "rename"; operation: always "write".
    struct IoFailed {
        std::string stage;
        std::string operation;
        std::string detail;
        bool operator==(const IoFailed&) const = default;
    };
    struct VerificationFailed {
        std::string reason;
        bool operator==(const VerificationFailed&) const = default;
    };
    struct NameNotStorable {
        bool operator==(const NameNotStorable&) const = default;
    };
    struct AlreadyExists {
        bool operator==(const AlreadyExists&) const = default;
    };
    struct Cancelled {
        bool operator==(const Cancelled&) const = default;
    };
    using Case = std::variant<Copied, SourceUnreadable, SourceNotAFile, Rejected, NotEnoughSpace, TooLargeForFilesystem,
                              SourceTooShort, SourceSizeMismatch, IoFailed, VerificationFailed, NameNotStorable,
                              AlreadyExists, Cancelled>;

    Case value;
    bool operator==(const MountedImageCopyResult&) const = default;
};

// "notEnoughSpace(bytesNeeded: 10, bytesFree: 9)", "cancelled"
[[nodiscard]] std::string render(const MountedImageCopyResult& result);
void PrintTo(const MountedImageCopyResult& result, std::ostream* os);

}  // namespace marlowick
