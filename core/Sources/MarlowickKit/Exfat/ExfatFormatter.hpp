#pragma once
// Lays a fresh, empty exFAT file system into a range of sectors of a BlockDevice: a quick
// format that writes the boot regions, the FAT and the three system objects of the heap,
// then flushes. Never reads the device, never closes it, never throws: every outcome is
// an ExfatFormatResult.

#include <cstdint>
#include <functional>

#include "Block/BlockDevice.hpp"
#include "Exfat/ExfatFormatParams.hpp"
#include "Bytes/ByteProgress.hpp"

namespace marlowick {

// Called after each chunk with the bytes written so far of all the format's writes.
using ExfatFormatProgress = std::function<void(const ByteProgress&)>;
// Polled before each chunk; true stops the format with `cancelled`.
using ExfatFormatCancelCheck = std::function<bool()>;

class ExfatFormatter {
public:
    virtual ~ExfatFormatter() = default;

    // Either callback may be empty: no progress reports, never cancelled.
    [[nodiscard]] virtual ExfatFormatResult format(BlockDevice& device, const ExfatFormatParams& params,
                                                   const ExfatFormatProgress& onProgress,
                                                   const ExfatFormatCancelCheck& isCancelled) const = 0;

    // A format reported as one step: no progress, no cancellation.
    [[nodiscard]] ExfatFormatResult format(BlockDevice& device, const ExfatFormatParams& params) const {
        return format(device, params, {}, {});
    }
};

}  // namespace marlowick
