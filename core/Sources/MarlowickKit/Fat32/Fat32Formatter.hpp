#pragma once
// Lays a fresh, empty FAT32 file system into a range of a device's sectors: the reserved
// region, both FATs and the root directory's one cluster (a quick format; no data cluster
// is cleared). A formatter never throws: a refusal before the first write is `invalid`,
// a device failure is `writeFailed` naming the step. The device stays open and owned by
// the caller.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "Block/BlockDevice.hpp"
#include "Fat32/Fat32FormatError.hpp"
#include "Fat32/Fat32Layout.hpp"

namespace marlowick {

struct Fat32FormatParams {
    std::int64_t volumeOffsetSectors = 0;  // first device sector of the volume
    std::int64_t volumeLengthSectors = 0;  // in device sectors
    // Absent, empty or only spaces: no label ("NO NAME    " in the boot sector, no label
    // entry). Leading spaces are dropped; at most 11 characters.
    std::optional<std::string> volumeLabel;
    // Absent lets the formatter choose from the volume size.
    std::optional<std::int64_t> sectorsPerCluster;
    std::uint32_t volumeSerialNumber = 0;
    bool operator==(const Fat32FormatParams&) const = default;
};

struct Fat32FormatResult {
    struct Success {
        Fat32Layout layout;
        bool operator==(const Success&) const = default;
    };
    struct Invalid {
        Fat32FormatError error;
        bool operator==(const Invalid&) const = default;
    };
    // `stage` names the write that failed: "reserved region", "FAT #1", "FAT #2 zero fill @ 4130",
    // "root directory" or "flush". Earlier writes stay on the medium.
    struct WriteFailed {
        std::string stage;
        BlockError error;
        bool operator==(const WriteFailed&) const = default;
    };
    using Case = std::variant<Success, Invalid, WriteFailed>;

    Case value;
    bool operator==(const Fat32FormatResult&) const = default;
};

// "invalid(error: volumeLabelTooLong(length: 12))",
// "writeFailed(stage: \"FAT #1\", error: deviceFailure(...))"
[[nodiscard]] std::string render(const Fat32FormatResult& result);
void PrintTo(const Fat32FormatResult& result, std::ostream* os);

class Fat32Formatter {
public:
    virtual ~Fat32Formatter() = default;
    [[nodiscard]] virtual Fat32FormatResult format(BlockDevice& device, const Fat32FormatParams& params) const = 0;
};

}  // namespace marlowick
