#include "Fat32/DefaultFat32Formatter.hpp"

#include <limits>
#include <optional>
#include <vector>

#include "Block/BlockChunkPlan.hpp"
#include "Fat32/Fat32LayoutCalculator.hpp"
#include "Fat32/Fat32Structures.hpp"
#include "Fat32/LabelText.hpp"

namespace marlowick {
namespace {

using Calculator = Fat32LayoutCalculator::Result;

Fat32FormatResult invalid(Fat32FormatError::Case error) { return {Fat32FormatResult::Invalid{{std::move(error)}}}; }

std::int64_t volumeBytes(std::int64_t volumeLengthSectors, int sectorSize) {
    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(volumeLengthSectors, sectorSize, &bytes)) return std::numeric_limits<std::int64_t>::max();
    return bytes;
}

std::optional<Fat32FormatError::Case> checkRequest(const Fat32FormatParams& params, int sectorSize,
                                                   std::int64_t deviceSectorCount, std::int64_t sectorsPerCluster) {
    if (!Fat32LayoutCalculator::isSupportedSectorSize(sectorSize)) {
        return Fat32FormatError::UnsupportedSectorSize{sectorSize};
    }
    // Only the length is refused here; characters a label may not hold are replaced when encoded.
    if (params.volumeLabel) {
        const std::int64_t length = LabelText::characterCount(*params.volumeLabel);
        if (length > Fat32Structures::maxVolumeLabelChars) return Fat32FormatError::VolumeLabelTooLong{length};
    }
    const std::int64_t offset = params.volumeOffsetSectors;
    const std::int64_t length = params.volumeLengthSectors;
    // Written as a difference so that no sum of two caller numbers can overflow.
    if (offset < 0 || length < 1 || offset > deviceSectorCount || length > deviceSectorCount - offset) {
        return Fat32FormatError::VolumeOutOfDeviceBounds{offset, length, deviceSectorCount};
    }
    if (!Fat32LayoutCalculator::isPowerOfTwo(sectorsPerCluster)) {
        return Fat32FormatError::InvalidSectorsPerCluster{sectorsPerCluster};
    }
    const std::int64_t clusterBytes = Fat32LayoutCalculator::clusterBytes(sectorSize, sectorsPerCluster);
    if (clusterBytes > Fat32LayoutCalculator::maxClusterBytes) return Fat32FormatError::ClusterTooLarge{clusterBytes};
    return std::nullopt;
}

struct LayoutOutcome {
    std::optional<Fat32Layout> layout;
    std::optional<Fat32FormatError::Case> error;
};

struct ToLayoutOutcome {
    LayoutOutcome operator()(const Calculator::Success& s) const { return {s.layout, std::nullopt}; }
    LayoutOutcome operator()(const Calculator::VolumeTooSmall& e) const { return {std::nullopt, e}; }
    LayoutOutcome operator()(const Calculator::VolumeTooLarge& e) const { return {std::nullopt, e}; }
    LayoutOutcome operator()(const Calculator::InvalidParameters& e) const {
        return {std::nullopt, Fat32FormatError::Unexpected{e.reason}};
    }
};

// Writes at volume-relative sectors; a failed write answers the result that ends the format.
struct VolumeWriter {
    BlockDevice& device;
    std::int64_t volumeOffset;
    std::vector<std::uint8_t> zeros{};

    std::optional<Fat32FormatResult> write(std::int64_t volumeSector, const std::vector<std::uint8_t>& data,
                                           const std::string& stage) {
        BlockWriteResult written = device.writeSectors(volumeOffset + volumeSector, data);
        if (auto* error = std::get_if<BlockError>(&written)) {
            return Fat32FormatResult{Fat32FormatResult::WriteFailed{stage, std::move(*error)}};
        }
        return std::nullopt;
    }

    // Every sector but the first of a FAT is free. One zero buffer serves every full
    // piece of both FATs; only a shorter last piece needs its own.
    std::optional<Fat32FormatResult> zeroFill(std::int64_t firstVolumeSector, std::int64_t sectorCount,
                                              std::int64_t chunkSectors, int sectorSize, const std::string& stage) {
        if (zeros.empty()) zeros.assign(static_cast<std::size_t>(std::min(sectorCount, chunkSectors) * sectorSize), 0);
        for (const auto& piece : BlockChunkPlan::chunk(firstVolumeSector, sectorCount, chunkSectors)) {
            const auto pieceBytes = static_cast<std::size_t>(piece.sectorCount * sectorSize);
            const std::string pieceStage = stage + " zero fill @ " + std::to_string(volumeOffset + piece.startSector);
            auto failed = pieceBytes == zeros.size()
                              ? write(piece.startSector, zeros, pieceStage)
                              : write(piece.startSector, std::vector<std::uint8_t>(pieceBytes, 0), pieceStage);
            if (failed) return failed;
        }
        return std::nullopt;
    }
};

std::vector<std::uint8_t> reservedRegion(const Fat32Layout& layout, const Fat32FormatParams& params) {
    const auto sectorBytes = static_cast<std::size_t>(layout.bytesPerSector);
    std::vector<std::uint8_t> region(static_cast<std::size_t>(layout.reservedSectorCount) * sectorBytes, 0);
    const auto boot = Fat32Structures::buildBootSector(layout, params.volumeSerialNumber, params.volumeLabel);
    const auto fsInfo = Fat32Structures::buildFsInfoSector(layout);
    const auto place = [&](int sector, const std::vector<std::uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(), region.begin() + static_cast<std::ptrdiff_t>(sector * sectorBytes));
    };
    place(0, boot);
    place(Fat32Structures::fsInfoSector, fsInfo);
    place(Fat32Structures::backupBootSector, boot);
    place(Fat32Structures::backupFsInfoSector, fsInfo);
    return region;
}

}  // namespace

std::variant<Fat32Layout, Fat32FormatError> DefaultFat32Formatter::plan(int sectorSize,
                                                                        std::int64_t deviceSectorCount,
                                                                        const Fat32FormatParams& params) {
    const std::int64_t sectorsPerCluster = params.sectorsPerCluster.value_or(
        Fat32LayoutCalculator::recommendedSectorsPerCluster(volumeBytes(params.volumeLengthSectors, sectorSize), sectorSize));
    if (auto error = checkRequest(params, sectorSize, deviceSectorCount, sectorsPerCluster)) {
        return Fat32FormatError{std::move(*error)};
    }
    LayoutOutcome outcome = std::visit(ToLayoutOutcome{}, Fat32LayoutCalculator::calculate(
                                                              params.volumeLengthSectors, sectorSize, sectorsPerCluster,
                                                              params.volumeOffsetSectors)
                                                              .value);
    if (outcome.error) return Fat32FormatError{std::move(*outcome.error)};
    return *outcome.layout;
}

Fat32FormatResult DefaultFat32Formatter::format(BlockDevice& device, const Fat32FormatParams& params) const {
    const int sectorSize = device.sectorSize();
    auto planned = plan(sectorSize, device.sectorCount(), params);
    if (auto* error = std::get_if<Fat32FormatError>(&planned)) return {Fat32FormatResult::Invalid{std::move(*error)}};
    // An empty chunk plan would leave the old FAT contents in place and still report success.
    if (chunkSectors < 1) {
        return invalid(Fat32FormatError::Unexpected{"writeChunkSectors must be at least 1, was " +
                                                    std::to_string(chunkSectors)});
    }
    const Fat32Layout& layout = std::get<Fat32Layout>(planned);

    VolumeWriter writer{device, params.volumeOffsetSectors};
    if (auto failed = writer.write(0, reservedRegion(layout, params), "reserved region")) return std::move(*failed);
    const auto fatHead = Fat32Structures::buildFatHeadSector(layout);
    for (int index = 0; index < layout.numberOfFats; ++index) {
        const std::string stage = "FAT #" + std::to_string(index + 1);
        const std::int64_t fatStart = layout.fatStartSector(index);
        if (auto failed = writer.write(fatStart, fatHead, stage)) return std::move(*failed);
        if (layout.fatLengthSectors > 1) {
            if (auto failed = writer.zeroFill(fatStart + 1, layout.fatLengthSectors - 1, chunkSectors, sectorSize, stage)) {
                return std::move(*failed);
            }
        }
    }
    if (auto failed = writer.write(layout.clusterToVolumeSector(layout.rootDirFirstCluster),
                                   Fat32Structures::buildRootDirectoryCluster(layout, params.volumeLabel),
                                   "root directory")) {
        return std::move(*failed);
    }
    // A flush the device will not confirm is accepted: the data was written.
    BlockFlushResult flushed = device.flush();
    if (auto* error = std::get_if<BlockError>(&flushed)) {
        return {Fat32FormatResult::WriteFailed{"flush", std::move(*error)}};
    }
    return {Fat32FormatResult::Success{layout}};
}

}  // namespace marlowick
