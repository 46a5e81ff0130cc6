#pragma once
// The failure vocabulary of sector I/O. Returned inside results, never thrown.

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

namespace marlowick {

struct BlockError {
    struct NegativeSector {
        std::int64_t startSector;
        bool operator==(const NegativeSector&) const = default;
    };
    struct OutOfBounds {
        std::int64_t startSector;
        std::int64_t sectorCount;
        std::int64_t deviceSectorCount;
        bool operator==(const OutOfBounds&) const = default;
    };
    struct MisalignedLength {
        std::int64_t length;
        int sectorSize;
        bool operator==(const MisalignedLength&) const = default;
    };
    struct InvalidSectorCount {
        std::int64_t sectorCount;
        bool operator==(const InvalidSectorCount&) const = default;
    };
    struct Closed {
        std::string operation;  // "read", "write" or "flush"
        bool operator==(const Closed&) const = default;
    };
    struct DeviceFailure {
        std::string operation;  // "open", "read", "write" or "flush"
        std::string detail;
        bool operator==(const DeviceFailure&) const = default;
    };
    using Case = std::variant<NegativeSector, OutOfBounds, MisalignedLength, InvalidSectorCount, Closed, DeviceFailure>;

    Case value;
    bool operator==(const BlockError&) const = default;
};

// "outOfBounds(startSector: 8, sectorCount: 4, deviceSectorCount: 10)"
[[nodiscard]] std::string render(const BlockError& error);
void PrintTo(const BlockError& error, std::ostream* os);

}  // namespace marlowick
