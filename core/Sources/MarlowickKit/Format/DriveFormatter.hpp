#pragma once
// Wipes a whole drive back to one plain exFAT data volume: a new partition table (MBR,
// or GPT on 512-byte sectors) with one data partition from sector 2048 to the end, the
// gap between the table and the partition cleared, a fresh exFAT file system in the
// partition, each step read back, and a final flush.
//
// Never throws. `aborted` means nothing was written: the disk's size or sector size does
// not allow the layout, or the exFAT formatter would refuse the volume it leaves (with
// the cluster size asked for). Everything else is a `completed` report. Nothing written
// is rolled back. Works through the BlockDevice it is given and never closes it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Block/BlockDevice.hpp"
#include "Exfat/ExfatFormatter.hpp"
#include "Format/DriveFormatResult.hpp"
#include "Bytes/ByteProgress.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick {

struct DriveFormatter {
    using ProgressHandler = std::function<void(FormatStage, std::optional<ByteProgress>)>;
    using CancelCheck = std::function<bool()>;

    static constexpr std::int64_t defaultWriteChunkSectors = 1024;
    // The application's default label for a wiped drive; format() does not substitute it.
    static constexpr std::string_view defaultVolumeLabel = defaultDataVolumeLabel;

    // A null formatter or writeChunkSectors below 1 throws std::invalid_argument.
    DriveFormatter(std::shared_ptr<const ExfatFormatter> exfatFormatter,
                   std::int64_t writeChunkSectors = defaultWriteChunkSectors);

    // onProgress gets each stage as it begins, never with a byte count. isCancelled is
    // polled before the table is written, before each piece of the gap clearing and
    // before the exFAT format; once the format has begun, the run goes to the end.
    // diskSignature becomes the MBR disk signature, the seed of the GPT GUIDs and the
    // exFAT volume serial. dataClusterBytes (divided by the sector size) asks for a
    // cluster size; absent, the exFAT formatter chooses.
    [[nodiscard]] DriveFormatResult format(BlockDevice& block, DriveFilesystem filesystem,
                                           PartitionStyle partitionStyle, const std::string& volumeLabel,
                                           std::optional<std::int64_t> dataClusterBytes, std::int32_t diskSignature,
                                           const ProgressHandler& onProgress, const CancelCheck& isCancelled) const;

    // The low 32 bits of the current Unix time in milliseconds, as a signed number.
    [[nodiscard]] static std::int32_t newDiskSignature();

    std::shared_ptr<const ExfatFormatter> exfatFormatter;
    std::int64_t writeChunkSectors;
};

}  // namespace marlowick
