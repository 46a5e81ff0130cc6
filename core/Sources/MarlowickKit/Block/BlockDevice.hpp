#pragma once
// A sector-addressed device with a fixed geometry: whole-sector reads and writes,
// an explicit flush and an explicit close. Nothing here throws; every outcome is a
// result value. A device has one owner at a time and is used from one thread.

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "Block/BlockError.hpp"

namespace marlowick {

struct BlockGeometry {
    int sectorSize = 0;
    std::int64_t sectorCount = 0;
    std::int64_t capacityBytes = 0;
    bool operator==(const BlockGeometry&) const = default;
};

enum class BlockAccessMode { readOnly, readWrite };

struct BlockReadSuccess {
    std::vector<std::uint8_t> data;
    bool operator==(const BlockReadSuccess&) const = default;
};
using BlockReadResult = std::variant<BlockReadSuccess, BlockError>;

struct BlockReadIntoSuccess {
    std::int64_t sectorsRead = 0;
    bool operator==(const BlockReadIntoSuccess&) const = default;
};
using BlockReadIntoResult = std::variant<BlockReadIntoSuccess, BlockError>;

struct BlockWriteSuccess {
    std::int64_t sectorsWritten = 0;
    bool operator==(const BlockWriteSuccess&) const = default;
};
using BlockWriteResult = std::variant<BlockWriteSuccess, BlockError>;

// The data was written, but the device would not confirm that it left its cache.
// Not a failure: callers decide how to report it.
struct BlockFlushNotHonoured {
    std::string detail;
    bool operator==(const BlockFlushNotHonoured&) const = default;
};
struct BlockFlushSuccess {
    bool operator==(const BlockFlushSuccess&) const = default;
};
using BlockFlushResult = std::variant<BlockFlushNotHonoured, BlockError, BlockFlushSuccess>;

class BlockDevice {
public:
    virtual ~BlockDevice() = default;

    [[nodiscard]] virtual int sectorSize() const = 0;
    [[nodiscard]] virtual std::int64_t sectorCount() const = 0;
    // A successful read returns exactly sectorCount × sectorSize bytes.
    [[nodiscard]] virtual BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) = 0;
    // A successful write reports data.size() ÷ sectorSize sectors written.
    [[nodiscard]] virtual BlockWriteResult writeSectors(std::int64_t startSector,
                                                        const std::vector<std::uint8_t>& data) = 0;
    // The same transfers over caller-owned buffers of a whole, non-zero number of sectors
    // (misalignedLength otherwise, or invalidSectorCount for an empty one), so that a chunk is
    // copied no more than the kernel needs. A device that does direct I/O moves page-aligned
    // buffers (an AlignedBuffer's) without a copy of its own. After a failed read the
    // buffer's contents are unspecified. These defaults go through readSectors and
    // writeSectors, copying.
    [[nodiscard]] virtual BlockReadIntoResult readSectorsInto(std::int64_t startSector, std::span<std::uint8_t> into);
    [[nodiscard]] virtual BlockWriteResult writeSectorsFrom(std::int64_t startSector,
                                                            std::span<const std::uint8_t> data);
    [[nodiscard]] virtual BlockFlushResult flush() = 0;
    // May be called any number of times; afterwards every operation reports `closed`.
    virtual void close() = 0;
};

// Textual forms for notes and test output: "success(data: 512 bytes)", "failure(error: closed(...))".
[[nodiscard]] std::string render(const BlockFlushResult& result);
void PrintTo(const BlockReadSuccess& value, std::ostream* os);
void PrintTo(const BlockReadIntoSuccess& value, std::ostream* os);
void PrintTo(const BlockWriteSuccess& value, std::ostream* os);
void PrintTo(const BlockFlushNotHonoured& value, std::ostream* os);
void PrintTo(const BlockFlushSuccess& value, std::ostream* os);

}  // namespace marlowick
