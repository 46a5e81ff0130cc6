#include "Exfat/DefaultExfatFormatter.hpp"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>
#include <vector>

#include "Block/BlockChunkPlan.hpp"
#include "Exfat/ExfatLayoutCalculator.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick {
namespace {

using Bytes = ExfatStructures::Bytes;

std::variant<ExfatLayout, ExfatFormatError> refuse(ExfatFormatError::Case error) {
    return ExfatFormatError{std::move(error)};
}

std::int64_t saturatingProduct(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::int64_t>::max() : product;
}

std::int64_t roundUp(std::int64_t value, std::int64_t multiple) { return (value + multiple - 1) / multiple * multiple; }

// One image of the format and where it goes on the device.
struct Step {
    const char* stage;
    std::int64_t deviceSector;
    std::int64_t byteLength;
};

// Writes the images in order, chunk by chunk.
struct StepWriter {
    BlockDevice& device;

    // Empty when every chunk was written.
    std::optional<ExfatFormatResult> write(const Step& step, const Bytes& image) {
        const std::int64_t sectorBytes = device.sectorSize();
        const std::int64_t chunkSectors = std::max<std::int64_t>(1, DefaultExfatFormatter::writeChunkBytes / sectorBytes);
        const auto imageSectors = static_cast<std::int64_t>(image.size()) / sectorBytes;
        for (const auto& chunk : BlockChunkPlan::chunk(step.deviceSector, imageSectors, chunkSectors)) {
            const auto begin = image.begin() + (chunk.startSector - step.deviceSector) * sectorBytes;
            const Bytes chunkBytes(begin, begin + chunk.sectorCount * sectorBytes);
            const BlockWriteResult written = device.writeSectors(chunk.startSector, chunkBytes);
            if (const auto* error = std::get_if<BlockError>(&written)) {
                return ExfatFormatResult{ExfatFormatResult::WriteFailed{step.stage, *error}};
            }
        }
        return std::nullopt;
    }
};

}  // namespace

std::variant<ExfatLayout, ExfatFormatError> DefaultExfatFormatter::plan(int sectorSize, std::int64_t deviceSectorCount,
                                                                        const ExfatFormatParams& params) {
    if (!ExfatLayoutCalculator::isSupportedSectorSize(sectorSize)) {
        return refuse(ExfatFormatError::UnsupportedSectorSize{sectorSize});
    }
    if (params.volumeLabel) {
        const auto labelLength = static_cast<std::int64_t>(ExfatStructures::utf16(*params.volumeLabel).size());
        if (labelLength > static_cast<std::int64_t>(ExfatStructures::maxVolumeLabelChars)) {
            return refuse(ExfatFormatError::VolumeLabelTooLong{labelLength});
        }
    }
    const std::int64_t offset = params.volumeOffsetSectors;
    const std::int64_t length = params.volumeLengthSectors;
    // Ending exactly at the device's last sector is allowed.
    if (offset < 0 || length < 1 || offset > deviceSectorCount || length > deviceSectorCount - offset) {
        return refuse(ExfatFormatError::VolumeOutOfDeviceBounds{offset, length, deviceSectorCount});
    }
    if (params.sectorsPerCluster && *params.sectorsPerCluster < 1) {
        return refuse(ExfatFormatError::InvalidSectorsPerCluster{*params.sectorsPerCluster});
    }
    const std::int64_t perCluster = params.sectorsPerCluster.value_or(
        ExfatLayoutCalculator::recommendedSectorsPerCluster(saturatingProduct(length, sectorSize), sectorSize));
    if (!std::has_single_bit(static_cast<std::uint64_t>(perCluster))) {
        return refuse(ExfatFormatError::InvalidSectorsPerCluster{perCluster});
    }
    const std::int64_t clusterBytes = saturatingProduct(perCluster, sectorSize);
    if (clusterBytes > ExfatLayoutCalculator::maxClusterBytes) {
        return refuse(ExfatFormatError::ClusterTooLarge{clusterBytes});
    }

    const auto calculated = ExfatLayoutCalculator::calculate(length, sectorSize, perCluster, offset);
    if (const auto* small = std::get_if<ExfatLayoutCalculator::VolumeTooSmall>(&calculated)) {
        return refuse(ExfatFormatError::VolumeTooSmall{small->volumeSectors, small->minimum});
    }
    if (const auto* invalid = std::get_if<ExfatLayoutCalculator::InvalidParameters>(&calculated)) {
        return refuse(ExfatFormatError::Unexpected{invalid->reason});
    }
    const auto& layout = std::get<ExfatLayout>(calculated);

    const std::int64_t fatBytes = layout.fatLengthSectors * sectorSize;
    if (fatBytes > inMemoryCapBytes || layout.bitmapLengthBytes > inMemoryCapBytes) {
        return refuse(ExfatFormatError::GeometryTooLargeToFormat{
            "FAT " + std::to_string(fatBytes) + "B / bitmap " + std::to_string(layout.bitmapLengthBytes) +
            "B exceeds the formatter's in-memory cap (" + std::to_string(inMemoryCapBytes) +
            "B) \u2014 choose a larger cluster size"});
    }
    return layout;
}

ExfatFormatResult DefaultExfatFormatter::format(BlockDevice& device, const ExfatFormatParams& params) const {
    const auto planned = plan(device.sectorSize(), device.sectorCount(), params);
    if (const auto* error = std::get_if<ExfatFormatError>(&planned)) return {ExfatFormatResult::Invalid{*error}};
    const auto& layout = std::get<ExfatLayout>(planned);

    const std::int64_t sectorBytes = layout.bytesPerSector;
    const std::int64_t volumeStart = params.volumeOffsetSectors;
    const auto clusterSector = [&](std::int64_t cluster) { return volumeStart + layout.clusterToVolumeSector(cluster); };
    const std::int64_t bootRegionBytes = ExfatStructures::BootRegion::sectors * sectorBytes;
    const std::vector<Step> steps{
        {"main boot region", volumeStart, bootRegionBytes},
        {"backup boot region", volumeStart + ExfatStructures::BootRegion::backupOffsetSectors, bootRegionBytes},
        {"FAT", volumeStart + layout.fatOffsetSectors, layout.fatLengthSectors * sectorBytes},
        {"allocation bitmap", clusterSector(layout.bitmapFirstCluster), roundUp(layout.bitmapLengthBytes, sectorBytes)},
        {"up-case table", clusterSector(layout.upcaseFirstCluster), layout.upcaseClusters * layout.clusterSizeBytes()},
        {"root directory", clusterSector(layout.rootFirstCluster), layout.clusterSizeBytes()},
    };
    StepWriter writer{device};

    const auto percentInUse =
        static_cast<int>(std::clamp<std::int64_t>(layout.allocatedClusterCount() * 100 / layout.clusterCount, 0, 100));
    const Bytes bootRegion = ExfatStructures::buildBootRegion(layout, params.volumeSerialNumber, percentInUse);
    for (const Step* step : {&steps[0], &steps[1]}) {
        if (auto stopped = writer.write(*step, bootRegion)) return *stopped;
    }
    if (auto stopped = writer.write(steps[2], ExfatStructures::buildFat(layout))) return *stopped;
    if (auto stopped = writer.write(steps[3], ExfatStructures::buildAllocationBitmap(layout))) return *stopped;
    if (auto stopped = writer.write(steps[4], ExfatStructures::buildUpcaseTableImage(layout))) return *stopped;

    Bytes root;
    try {
        root = ExfatStructures::buildRootDirectory(layout, ExfatUpcaseTable::checksum(), params.volumeLabel);
    } catch (const ExfatStructuresError& error) {
        return {ExfatFormatResult::Invalid{
            {ExfatFormatError::Unexpected{"root directory build failed: " + render(error.value)}}}};
    }
    if (auto stopped = writer.write(steps[5], root)) return *stopped;

    // A cache flush the device does not honour is not a failure of the format.
    const BlockFlushResult flushed = device.flush();
    if (const auto* error = std::get_if<BlockError>(&flushed)) {
        return {ExfatFormatResult::WriteFailed{"flush", *error}};
    }
    return {ExfatFormatResult::Success{layout}};
}

}  // namespace marlowick
