#include "Image/RawImageWriter.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "Assets/Sha256.hpp"

namespace marlowick {
namespace {

enum class StageEnd { completed, failed, cancelled };

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

struct WriteStage {
    BlockDevice& block;
    const RawImageSource& source;
    const RawImageWriter::ProgressHandler& onProgress;
    const RawImageWriter::CancelCheck& isCancelled;
    std::int64_t chunkSectors;
    RawImageWriteReport& report;

    StageEnd run() {
        RawImageOpenResult opened = source.open();
        if (const auto* failed = std::get_if<RawImageOpenResult::Failed>(&opened.value)) {
            report.notes.push_back("source could not be opened: " + failed->detail);
            return StageEnd::failed;
        }
        RawImageStream& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
        const StreamCloser closer{stream};
        const std::optional<std::int64_t> declared = source.sizeBytes();
        const std::int64_t sectorSize = report.sectorSize;
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunkSectors * sectorSize), 0);
        const auto bufferBytes = static_cast<std::int64_t>(buffer.size());
        Sha256::Hasher hasher;
        std::int64_t filled = bufferBytes;
        while (filled == bufferBytes) {
            if (isCancelled()) return StageEnd::cancelled;
            const RawImageFill fill = stream.fill(buffer);
            if (fill.failure) {
                report.notes.push_back("source read failed after " + std::to_string(report.imageBytes) +
                                       " bytes: " + *fill.failure);
                return StageEnd::failed;
            }
            filled = fill.filled;
            if (filled == 0) break;
            hasher.update(std::span(buffer).first(static_cast<std::size_t>(filled)));
            const std::int64_t sectors = (filled + sectorSize - 1) / sectorSize;
            const std::int64_t padded = sectors * sectorSize;
            std::fill(buffer.begin() + filled, buffer.begin() + padded, std::uint8_t{0});
            if (sectors > report.sectorCount - report.sectorsWritten) {
                report.notes.push_back("image is larger than the device (" + std::to_string(report.capacityBytes) +
                                       " bytes)");
                return StageEnd::failed;
            }
            const BlockWriteResult written =
                block.writeSectors(report.sectorsWritten, std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + padded));
            if (const auto* error = std::get_if<BlockError>(&written)) {
                report.notes.push_back("write failed at sector " + std::to_string(report.sectorsWritten) + ": " +
                                       render(*error));
                return StageEnd::failed;
            }
            report.sectorsWritten += sectors;
            report.imageBytes += filled;
            onProgress(RawWriteStage::write, ByteProgress{report.imageBytes, declared});
        }
        if (report.imageBytes == 0) {
            report.notes.push_back("image is empty (source stream held no bytes)");
            return StageEnd::failed;
        }
        if (declared && *declared != report.imageBytes) {
            const std::string counts = std::to_string(report.imageBytes) + " of " + std::to_string(*declared) + " bytes";
            report.notes.push_back((report.imageBytes < *declared ? "source ended early: " : "source was longer than declared: ") +
                                   counts);
            return StageEnd::failed;
        }
        report.imageSha256 = hasher.finalHex();
        return StageEnd::completed;
    }
};

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

    switch (WriteStage{block, source, onProgress, isCancelled, writeChunkSectors, report}.run()) {
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

    const std::int64_t sectorsToRead = (report.imageBytes + report.sectorSize - 1) / report.sectorSize;
    Sha256::Hasher hasher;
    std::int64_t hashed = 0;
    for (std::int64_t start = 0; start < sectorsToRead;) {
        if (isCancelled()) {
            report.cancelledAtStage = RawWriteStage::verify;
            return {RawImageWriteResult::Completed{report}};
        }
        const std::int64_t count = std::min(writeChunkSectors, sectorsToRead - start);
        const BlockReadResult read = block.readSectors(start, count);
        if (const auto* error = std::get_if<BlockError>(&read)) {
            report.notes.push_back("read-back failed at sector " + std::to_string(start) + ": " + render(*error));
            report.verifyOk = false;
            return {RawImageWriteResult::Completed{report}};
        }
        const std::vector<std::uint8_t>& data = std::get<BlockReadSuccess>(read).data;
        // The zero padding past the image's end is not part of the image's hash.
        const auto take = std::min(report.imageBytes - hashed, static_cast<std::int64_t>(data.size()));
        hasher.update(std::span(data).first(static_cast<std::size_t>(take)));
        hashed += take;
        start += count;
        onProgress(RawWriteStage::verify, ByteProgress{hashed, report.imageBytes});
    }
    const std::string readBack = hasher.finalHex();
    report.verifyOk = report.imageSha256 == readBack;
    if (!*report.verifyOk) {
        report.notes.push_back("read-back SHA-256 " + readBack + " != written image's " +
                               report.imageSha256.value_or("(none)"));
    }
    return {RawImageWriteResult::Completed{report}};
}

}  // namespace marlowick
