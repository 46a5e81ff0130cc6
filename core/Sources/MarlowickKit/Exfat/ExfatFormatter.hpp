#pragma once
// Lays a fresh, empty exFAT file system into a range of sectors of a BlockDevice: a quick
// format that writes the boot regions, the FAT and the three system objects of the heap,
// then flushes. Never reads the device, never closes it, never throws: every outcome is
// an ExfatFormatResult. It takes no progress callback and no cancellation test: callers
// report a format as one step, and a half-formatted volume is worse than a finished one.

#include "Block/BlockDevice.hpp"
#include "Exfat/ExfatFormatParams.hpp"

namespace marlowick {

class ExfatFormatter {
public:
    virtual ~ExfatFormatter() = default;

    [[nodiscard]] virtual ExfatFormatResult format(BlockDevice& device, const ExfatFormatParams& params) const = 0;
};

}  // namespace marlowick
