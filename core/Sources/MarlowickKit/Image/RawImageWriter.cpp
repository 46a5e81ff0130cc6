#include "Image/RawImageWriter.hpp"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Bytes/Sha256.hpp"
#include "Block/AlignedBuffer.hpp"
#include "Image/ChunkPipeline.hpp"

namespace marlowick {
namespace {

enum class StageEnd { completed, failed, cancelled };

// Enough buffers to keep the reader, the writer, the image hash and the digest workers
// busy at once, within a bounded amount of memory.
constexpr std::int64_t ringBytesLimit = 64LL << 20;
constexpr std::int64_t minRingBuffers = 3;

// Chunks travel between the threads a few at a time, in one buffer of about 4 MiB: every
// hand-over wakes a thread, and that costs more than it saves when chunks are small. Each
// write, read-back, cancel check, digest and progress report is still one chunk.
constexpr std::int64_t batchBytesTarget = 4LL << 20;
constexpr std::int64_t maxChunksPerBatch = 8;

std::int64_t chunksPerBatch(std::int64_t chunkBytes) {
    return std::clamp(batchBytesTarget / chunkBytes, std::int64_t{1}, maxChunksPerBatch);
}

int digestWorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores > 1 ? cores - 1 : 1U, 1U, 6U));
}

std::optional<std::vector<AlignedBuffer>> allocateRing(std::int64_t bufferBytes, int workers) {
    const std::int64_t count = std::clamp(ringBytesLimit / bufferBytes, minRingBuffers, std::int64_t{workers} + 4);
    std::vector<AlignedBuffer> ring;
    for (std::int64_t i = 0; i < count; ++i) {
        std::optional<AlignedBuffer> buffer = AlignedBuffer::allocate(static_cast<std::size_t>(bufferBytes));
        if (!buffer) return std::nullopt;
        ring.push_back(std::move(*buffer));
    }
    return ring;
}

// Closes the stream on every way out of the write stage.
class StreamCloser {
public:
    explicit StreamCloser(RawImageStream& opened) : stream(opened) {}
    StreamCloser(const StreamCloser&) = delete;
    StreamCloser& operator=(const StreamCloser&) = delete;
    ~StreamCloser() { stream.close(); }

private:
    RawImageStream& stream;
};

// Stops a pipeline and joins the threads that work on it, however the stage ends; the
// pipeline's own digest workers are joined by its destructor.
class ThreadsJoiner {
public:
    explicit ThreadsJoiner(ChunkPipeline& working) : pipeline(working) {}
    ThreadsJoiner(const ThreadsJoiner&) = delete;
    ThreadsJoiner& operator=(const ThreadsJoiner&) = delete;
    // A stage that ends by an exception must not leave a thread waiting for a buffer.
    ~ThreadsJoiner() { stopAndJoin(); }
    void add(std::thread thread) { threads.push_back(std::move(thread)); }
    // Without stopping: lets the threads run out of work first.
    void joinAll() {
        for (std::thread& thread : threads) {
            if (thread.joinable()) thread.join();
        }
    }
    void stopAndJoin() {
        pipeline.stop();
        joinAll();
    }

private:
    ChunkPipeline& pipeline;
    std::vector<std::thread> threads;
};

// The reader thread: fills buffers from the stream, in order, ahead of the writer. The
// last sector of what was read is padded with zeros. A short or empty fill is the last.
void readChunks(ChunkPipeline& pipeline, RawImageStream& stream, std::int64_t batchBytes, std::int64_t sectorSize) {
    for (;;) {
        const std::optional<std::size_t> slot = pipeline.acquire();
        if (!slot) return;
        const std::span<std::uint8_t> buffer = pipeline.buffer(*slot).first(static_cast<std::size_t>(batchBytes));
        RawImageFill fill = stream.fill(buffer);
        if (!fill.failure) {
            const std::int64_t padded = (fill.filled + sectorSize - 1) / sectorSize * sectorSize;
            std::fill(buffer.begin() + fill.filled, buffer.begin() + padded, std::uint8_t{0});
        }
        const bool last = fill.failure || fill.filled < batchBytes;
        pipeline.publish(*slot, fill.filled, std::move(fill.failure));
        if (last) {
            pipeline.finish();
            return;
        }
    }
}

// The hash thread: the image's SHA-256, fed in order.
void hashChunks(ChunkPipeline& pipeline, Sha256::Hasher& hasher) {
    for (std::int64_t sequence = 0;; ++sequence) {
        const std::optional<std::size_t> slot = pipeline.waitFor(sequence);
        if (!slot) return;
        if (!pipeline.chunk(*slot).failure) hasher.update(pipeline.data(*slot));
        pipeline.release(*slot);
    }
}

struct WriteStage {
    BlockDevice& block;
    const RawImageSource& source;
    const RawImageWriter::ProgressHandler& onProgress;
    const RawImageWriter::CancelCheck& isCancelled;
    std::int64_t chunkSectors;
    RawImageWriteReport& report;
    std::vector<Sha256::Digest>& chunkDigests;

    StageEnd run() {
        RawImageOpenResult opened = source.open();
        if (const auto* failed = std::get_if<RawImageOpenResult::Failed>(&opened.value)) {
            report.notes.push_back("source could not be opened: " + failed->detail);
            return StageEnd::failed;
        }
        RawImageStream& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
        const StreamCloser closer{stream};
        const std::int64_t chunkBytes = chunkSectors * report.sectorSize;
        const std::int64_t batchBytes = chunkBytes * chunksPerBatch(chunkBytes);
        const int workers = digestWorkerCount();
        std::optional<std::vector<AlignedBuffer>> ring = allocateRing(batchBytes, workers);
        if (!ring) {
            report.notes.push_back("could not allocate the write buffers of " + std::to_string(batchBytes) + " bytes");
            return StageEnd::failed;
        }
        // Users of each buffer: the writer (this thread), the image hash and a digest worker.
        ChunkPipeline pipeline(std::move(*ring), 3, workers, chunkBytes);
        Sha256::Hasher hasher;
        ThreadsJoiner threads(pipeline);
        threads.add(std::thread([&] { readChunks(pipeline, stream, batchBytes, report.sectorSize); }));
        threads.add(std::thread([&] { hashChunks(pipeline, hasher); }));

        const StageEnd end = writeChunks(pipeline, chunkBytes, batchBytes);
        if (end != StageEnd::completed) {
            threads.stopAndJoin();
            return end;
        }
        // The reader has finished; the hash and the digests catch up with the writer.
        threads.joinAll();
        if (!pipeline.waitAllDigested()) return StageEnd::failed;
        chunkDigests = pipeline.digests();
        if (report.imageBytes == 0) {
            report.notes.push_back("image is empty (source stream held no bytes)");
            return StageEnd::failed;
        }
        const std::optional<std::int64_t> declared = source.sizeBytes();
        if (declared && *declared != report.imageBytes) {
            const std::string counts = std::to_string(report.imageBytes) + " of " + std::to_string(*declared) + " bytes";
            report.notes.push_back((report.imageBytes < *declared ? "source ended early: " : "source was longer than declared: ") +
                                   counts);
            return StageEnd::failed;
        }
        report.imageSha256 = hasher.finalHex();
        return StageEnd::completed;
    }

    // This thread's part: each chunk in order, straight from the reader's buffer to the
    // device. Cancellation is polled before each chunk, the empty fill after a full last
    // chunk included, as if each chunk were read only then.
    StageEnd writeChunks(ChunkPipeline& pipeline, std::int64_t chunkBytes, std::int64_t batchBytes) {
        const std::optional<std::int64_t> declared = source.sizeBytes();
        const std::int64_t sectorSize = report.sectorSize;
        std::size_t slot = 0;
        bool holding = false;     // whether `slot` holds the batch being written
        std::int64_t offset = 0;  // of the next chunk in that batch
        for (std::int64_t sequence = 0;;) {
            if (isCancelled()) return StageEnd::cancelled;
            if (!holding) {
                const std::optional<std::size_t> next = pipeline.waitFor(sequence++);
                if (!next) return StageEnd::failed;  // only after a stop, which this thread alone asks for
                slot = *next;
                holding = true;
                offset = 0;
            }
            const ChunkPipeline::Chunk& batch = pipeline.chunk(slot);
            const std::int64_t filled = std::clamp(batch.filled - offset, std::int64_t{0}, chunkBytes);
            // The chunks filled whole before a failed read are written, as they would be one by one.
            if (batch.failure && filled < chunkBytes) {
                report.notes.push_back("source read failed after " + std::to_string(report.imageBytes) +
                                       " bytes: " + *batch.failure);
                return StageEnd::failed;
            }
            if (filled == 0) {
                pipeline.release(slot);
                return StageEnd::completed;
            }
            const std::int64_t sectors = (filled + sectorSize - 1) / sectorSize;
            if (sectors > report.sectorCount - report.sectorsWritten) {
                report.notes.push_back("image is larger than the device (" + std::to_string(report.capacityBytes) +
                                       " bytes)");
                return StageEnd::failed;
            }
            const BlockWriteResult written = block.writeSectorsFrom(
                report.sectorsWritten, pipeline.buffer(slot).subspan(static_cast<std::size_t>(offset),
                                                                     static_cast<std::size_t>(sectors * sectorSize)));
            if (const auto* error = std::get_if<BlockError>(&written)) {
                report.notes.push_back("write failed at sector " + std::to_string(report.sectorsWritten) + ": " +
                                       render(*error));
                return StageEnd::failed;
            }
            report.sectorsWritten += sectors;
            report.imageBytes += filled;
            onProgress(RawWriteStage::write, ByteProgress{report.imageBytes, declared});
            if (filled < chunkBytes) {
                pipeline.release(slot);
                return StageEnd::completed;
            }
            offset += chunkBytes;
            if (offset == batchBytes) {
                pipeline.release(slot);
                holding = false;
            }
        }
    }
};

enum class VerifyEnd { matched, differed, failed, cancelled };

// Reads the written sectors back in order on this thread, while the digest workers take
// each chunk's SHA-256 for comparison with the digest of the chunk that was written.
struct VerifyStage {
    BlockDevice& block;
    const RawImageWriter::ProgressHandler& onProgress;
    const RawImageWriter::CancelCheck& isCancelled;
    std::int64_t chunkSectors;
    RawImageWriteReport& report;
    const std::vector<Sha256::Digest>& writtenDigests;
    std::int64_t differingChunk = -1;

    VerifyEnd run() {
        const std::int64_t sectorSize = report.sectorSize;
        const std::int64_t chunkBytes = chunkSectors * sectorSize;
        const std::int64_t perBatch = chunksPerBatch(chunkBytes);
        const std::int64_t sectorsToRead = (report.imageBytes + sectorSize - 1) / sectorSize;
        const std::int64_t chunkCount = (sectorsToRead + chunkSectors - 1) / chunkSectors;
        const std::int64_t batchCount = (chunkCount + perBatch - 1) / perBatch;
        if (static_cast<std::int64_t>(writtenDigests.size()) < chunkCount) {
            differingChunk = static_cast<std::int64_t>(writtenDigests.size());
            return VerifyEnd::differed;
        }
        const int workers = digestWorkerCount();
        std::optional<std::vector<AlignedBuffer>> ring = allocateRing(chunkBytes * perBatch, workers);
        if (!ring) {
            report.notes.push_back("could not allocate the read-back buffers of " +
                                   std::to_string(chunkBytes * perBatch) + " bytes");
            return VerifyEnd::failed;
        }
        // Users of each buffer: this thread, which compares its chunks, and a digest worker.
        ChunkPipeline pipeline(std::move(*ring), 2, workers, chunkBytes);
        std::int64_t hashed = 0;
        std::int64_t read = 0;
        for (std::int64_t compared = 0; compared < batchCount; ++compared) {
            // Keep reading ahead while a buffer is free; the batch to compare next is always read.
            while (read < batchCount && (read == compared || pipeline.hasFreeBuffer())) {
                const std::optional<std::size_t> slot = pipeline.acquire();
                if (!slot) return VerifyEnd::failed;
                const std::int64_t first = read * perBatch;
                const std::int64_t end = std::min(first + perBatch, chunkCount);
                for (std::int64_t index = first; index < end; ++index) {
                    if (isCancelled()) return VerifyEnd::cancelled;
                    const std::int64_t start = index * chunkSectors;
                    const std::int64_t count = std::min(chunkSectors, sectorsToRead - start);
                    const std::span<std::uint8_t> into = pipeline.buffer(*slot).subspan(
                        static_cast<std::size_t>((index - first) * chunkBytes), static_cast<std::size_t>(count * sectorSize));
                    const BlockReadIntoResult result = block.readSectorsInto(start, into);
                    if (const auto* error = std::get_if<BlockError>(&result)) {
                        report.notes.push_back("read-back failed at sector " + std::to_string(start) + ": " +
                                               render(*error));
                        return VerifyEnd::failed;
                    }
                }
                // The zero padding past the image's end is not part of the image.
                pipeline.publish(*slot, std::min(report.imageBytes - first * chunkBytes, (end - first) * chunkBytes),
                                 std::nullopt);
                ++read;
            }
            const std::optional<std::size_t> slot = pipeline.waitDigested(compared);
            if (!slot) return VerifyEnd::failed;
            const std::vector<Sha256::Digest> digests = pipeline.digests(compared);
            for (std::size_t piece = 0; piece < digests.size(); ++piece) {
                const std::int64_t index = compared * perBatch + static_cast<std::int64_t>(piece);
                if (digests[piece] != writtenDigests[static_cast<std::size_t>(index)]) {
                    differingChunk = index;
                    return VerifyEnd::differed;
                }
                hashed += std::min(chunkBytes, report.imageBytes - index * chunkBytes);
                onProgress(RawWriteStage::verify, ByteProgress{hashed, report.imageBytes});
            }
            pipeline.release(*slot);
        }
        return VerifyEnd::matched;
    }

    // After a difference: the SHA-256 of everything read back, for the note, read again
    // from the first sector. Nothing when a read fails (its note is added) or on cancel.
    std::optional<std::string> readBackHash() {
        const std::int64_t sectorSize = report.sectorSize;
        const std::int64_t sectorsToRead = (report.imageBytes + sectorSize - 1) / sectorSize;
        std::optional<AlignedBuffer> buffer = AlignedBuffer::allocate(static_cast<std::size_t>(chunkSectors * sectorSize));
        if (!buffer) return std::nullopt;
        Sha256::Hasher hasher;
        std::int64_t hashed = 0;
        for (std::int64_t start = 0; start < sectorsToRead; start += chunkSectors) {
            if (isCancelled()) return std::nullopt;
            const std::int64_t count = std::min(chunkSectors, sectorsToRead - start);
            const std::span<std::uint8_t> into = buffer->bytes().first(static_cast<std::size_t>(count * sectorSize));
            const BlockReadIntoResult result = block.readSectorsInto(start, into);
            if (const auto* error = std::get_if<BlockError>(&result)) {
                report.notes.push_back("read-back failed at sector " + std::to_string(start) + ": " + render(*error));
                return std::nullopt;
            }
            const auto take = std::min(report.imageBytes - hashed, static_cast<std::int64_t>(into.size()));
            hasher.update(into.first(static_cast<std::size_t>(take)));
            hashed += take;
        }
        return hasher.finalHex();
    }
};

// Runs a stage that starts threads; a thread that cannot be started fails the stage with a note.
template <class Stage, class End>
End runGuarded(Stage& stage, RawImageWriteReport& report, End failed) {
    try {
        return stage.run();
    } catch (const std::exception& error) {
        report.notes.push_back(std::string("could not run the transfer threads: ") + error.what());
        return failed;
    }
}

}  // namespace

RawImageWriter::RawImageWriter(std::int64_t chunkSectors) : writeChunkSectors(chunkSectors) {
    if (chunkSectors < 1) throw std::invalid_argument("writeChunkSectors must be at least 1");
}

RawImageWriteResult RawImageWriter::write(BlockDevice& block, const RawImageSource& source, bool verify,
                                          const ProgressHandler& onProgress, const CancelCheck& isCancelled) const {
    RawImageWriteReport report;
    report.sectorSize = block.sectorSize();
    report.sectorCount = block.sectorCount();
    report.capacityBytes = report.sectorSize * report.sectorCount;
    report.verifyPerformed = verify;
    if (const auto declared = source.sizeBytes()) {
        if (*declared < 1) return {RawImageWriteResult::Aborted{"image is empty (" + std::to_string(*declared) + " bytes)"}};
        if (*declared > report.capacityBytes) {
            return {RawImageWriteResult::Aborted{"image (" + std::to_string(*declared) + " bytes) is larger than the device (" +
                                                 std::to_string(report.capacityBytes) + " bytes)"}};
        }
    }

    std::vector<Sha256::Digest> chunkDigests;
    WriteStage writeStage{block, source, onProgress, isCancelled, writeChunkSectors, report, chunkDigests};
    switch (runGuarded(writeStage, report, StageEnd::failed)) {
        case StageEnd::failed:
            report.writeOk = false;
            return {RawImageWriteResult::Completed{report}};
        case StageEnd::cancelled:
            report.cancelledAtStage = RawWriteStage::write;
            return {RawImageWriteResult::Completed{report}};
        case StageEnd::completed:
            report.writeOk = true;
            break;
    }

    onProgress(RawWriteStage::flush, std::nullopt);
    const BlockFlushResult flushed = block.flush();
    if (const auto* error = std::get_if<BlockError>(&flushed)) {
        report.notes.push_back("flush failed: " + render(*error));
        report.flushOk = false;
        return {RawImageWriteResult::Completed{report}};
    }
    report.flushOk = true;
    report.flushHonoured = std::holds_alternative<BlockFlushSuccess>(flushed);
    if (const auto* notHonoured = std::get_if<BlockFlushNotHonoured>(&flushed)) {
        report.notes.push_back("flush not honoured — the read-back may be served from the drive's cache: " +
                               notHonoured->detail);
    }
    if (!verify) return {RawImageWriteResult::Completed{report}};

    VerifyStage verifyStage{block, onProgress, isCancelled, writeChunkSectors, report, chunkDigests};
    switch (runGuarded(verifyStage, report, VerifyEnd::failed)) {
        case VerifyEnd::matched:
            report.verifyOk = true;
            break;
        case VerifyEnd::cancelled:
            report.cancelledAtStage = RawWriteStage::verify;
            break;
        case VerifyEnd::failed:
            report.verifyOk = false;
            break;
        case VerifyEnd::differed: {
            report.verifyOk = false;
            const std::int64_t first = verifyStage.differingChunk * writeChunkSectors;
            const std::int64_t sectorsToRead = (report.imageBytes + report.sectorSize - 1) / report.sectorSize;
            const std::int64_t last = std::min(first + writeChunkSectors, sectorsToRead) - 1;
            report.notes.push_back("read-back differs from the written image in sectors " + std::to_string(first) +
                                   " to " + std::to_string(last));
            const std::optional<std::string> readBack = verifyStage.readBackHash();
            if (readBack && readBack == report.imageSha256) {
                report.notes.push_back("a second read-back matched the written image: the drive returned "
                                       "different data the first time");
            } else if (readBack) {
                report.notes.push_back("read-back SHA-256 " + *readBack + " != written image's " +
                                       report.imageSha256.value_or("(none)"));
            }
            break;
        }
    }
    return {RawImageWriteResult::Completed{report}};
}

}  // namespace marlowick
