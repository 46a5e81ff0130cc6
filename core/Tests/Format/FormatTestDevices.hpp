#pragma once
// Stand-ins for the drive formatter's collaborators: a memory device that can be told to
// fail or drop a write, fail a read and answer flushes from a script, and an exFAT
// formatter that lays down just a boot sector (or fails the way it is told to).

#include <cstdint>
#include <optional>
#include <string>
#include <ostream>
#include <vector>

#include "Block/MemoryBlockDevice.hpp"
#include "Exfat/ExfatFormatter.hpp"

namespace marlowick::test {

class ScriptedDevice final : public BlockDevice {
public:
    struct Write {
        std::int64_t startSector;
        std::int64_t sectorCount;
        bool operator==(const Write&) const = default;
        friend void PrintTo(const Write& w, std::ostream* os) { *os << "(" << w.startSector << ", " << w.sectorCount << ")"; }
    };

    ScriptedDevice(std::int64_t sectorCount, int sectorSize) : medium(sectorCount, sectorSize) {}

    [[nodiscard]] int sectorSize() const override { return medium.sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return medium.sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override;
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override;
    [[nodiscard]] BlockFlushResult flush() override;
    void close() override { medium.close(); }

    // A write that touches this sector fails and changes nothing.
    std::optional<std::int64_t> failWriteAt;
    // The write call with this number (from 0) fails and changes nothing.
    std::optional<int> failWriteCall;
    // A write that touches this sector reports success but changes nothing.
    std::optional<std::int64_t> dropWriteAt;
    // A read that touches this sector fails.
    std::optional<std::int64_t> failReadAt;
    // Answers to the flush calls in order; success once the script runs out.
    std::vector<BlockFlushResult> flushScript;

    std::vector<Write> writes;  // successful writes, dropped ones included
    // Every call in order: "write 1+1024", "flush", "read 8159+33".
    std::vector<std::string> events;
    int writeCalls = 0;
    int flushCalls = 0;
    MemoryBlockDevice medium;
};

class FakeExfatFormatter final : public ExfatFormatter {
public:
    enum class Mode { bootSector, wrongSerial, rejected, writeFailed };
    static constexpr std::int64_t clusterCount = 1000;
    static constexpr int sectorsPerCluster = 8;

    explicit FakeExfatFormatter(Mode m = Mode::bootSector) : mode(m) {}

    [[nodiscard]] ExfatFormatResult format(BlockDevice& device, const ExfatFormatParams& params) const override;

    Mode mode;
    mutable std::vector<ExfatFormatParams> calls;
};

inline const BlockError writeRefused{BlockError::DeviceFailure{"write", "errno 5 (Input/output error)"}};
inline const BlockError readRefused{BlockError::DeviceFailure{"read", "errno 5 (Input/output error)"}};
inline const BlockError flushRefused{BlockError::DeviceFailure{"flush", "errno 5 (Input/output error)"}};

}  // namespace marlowick::test
