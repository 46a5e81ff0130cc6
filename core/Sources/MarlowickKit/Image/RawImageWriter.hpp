#pragma once
// Copies a whole disk image over a whole drive from sector 0: hashes the image while
// writing, pads the last sector with zeros, flushes, and (when asked) reads the written
// sectors back and compares their SHA-256 with the image's. Never throws once called:
// a refusal before any write is `aborted`, everything else a `completed` report whose
// last note says what went wrong. Owns neither the device nor the source: it opens one
// stream of the source and closes it on every exit of the write stage.

#include <cstdint>
#include <functional>
#include <optional>

#include "Block/BlockDevice.hpp"
#include "Bytes/ByteProgress.hpp"
#include "Image/RawImageSource.hpp"
#include "Image/RawImageWriteReport.hpp"

namespace marlowick {

struct RawImageWriter {
    using ProgressHandler = std::function<void(RawWriteStage, std::optional<ByteProgress>)>;
    using CancelCheck = std::function<bool()>;

    static constexpr std::int64_t defaultWriteChunkSectors = 1024;

    // Sectors per write and per read-back chunk; below 1 throws std::invalid_argument.
    explicit RawImageWriter(std::int64_t chunkSectors = defaultWriteChunkSectors);

    // Both callbacks run on the caller's thread; cancellation is polled once per chunk.
    [[nodiscard]] RawImageWriteResult write(BlockDevice& block, const RawImageSource& source, bool verify,
                                            const ProgressHandler& onProgress, const CancelCheck& isCancelled) const;

    std::int64_t writeChunkSectors;
};

}  // namespace marlowick
