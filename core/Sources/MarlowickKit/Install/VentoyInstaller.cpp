#include "Install/VentoyInstaller.hpp"

#include <algorithm>
#include <chrono>
#include <utility>
#include <variant>

#include <unicode/unistr.h>

#include "Detect/VentoyDriveDetector.hpp"
#include "Block/BlockErrorText.hpp"
#include "Install/VentoyBootFiles.hpp"
#include "Install/VentoyDataPartition.hpp"
#include "Install/VentoyInstallValidation.hpp"
#include "Install/VentoyWriteSequence.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"
#include "Mbr/MbrBuilder.hpp"

namespace marlowick {
namespace {

constexpr std::int64_t gptEntryArraySectors = 32;
constexpr std::size_t gptNameOffset = 56;
constexpr std::size_t gptNameBytes = 72;

VentoyInstallResult aborted(std::string reason) { return {VentoyInstallResult::Aborted{std::move(reason)}}; }

// The sizes and the digests of the cached files against the manifest; the files are
// read here once and written later from these very bytes.
std::variant<VentoyBootFiles, std::string> checkedFiles(int sectorSize, const VentoyAssetSet& assets,
                                                        const VentoyReleaseManifest& manifest,
                                                        const FileOpener& opener) {
    if (auto refusal = VentoyInstallValidation::validateAssets(assets.version, VentoyBootFiles::sizes(assets, opener),
                                                               manifest, sectorSize)) {
        return std::move(*refusal);
    }
    return VentoyBootFiles::load(assets, manifest, opener);
}

// Whether the part of core.img that does not fit in front of partition 1 is all zero.
bool coreTailAllZero(const VentoyBootFiles& files, const VentoyLayout& layout, int sectorSize) {
    const std::int64_t fits = std::max<std::int64_t>(0, layout.coreSectorCapacity()) * sectorSize;
    if (fits >= static_cast<std::int64_t>(files.coreImg.size())) return true;
    return std::all_of(files.coreImg.begin() + static_cast<std::ptrdiff_t>(fits), files.coreImg.end(),
                       [](std::uint8_t byte) { return byte == 0; });
}

std::optional<std::string> layoutFit(const VentoyLayout& layout, const VentoyBootFiles& files, int sectorSize) {
    return VentoyInstallValidation::validateLayoutFit(
        layout, static_cast<std::int64_t>(files.coreImg.size()), static_cast<std::int64_t>(files.ventoyDiskImg.size()),
        sectorSize, [&] { return coreTailAllZero(files, layout, sectorSize); });
}

// Partition 1's name in the GPT entry array (UTF-16LE, up to the first NUL), as UTF-8.
std::string gptPart1Name(const std::vector<std::uint8_t>& entries) {
    std::u16string units;
    for (std::size_t at = gptNameOffset; at + 1 < gptNameOffset + gptNameBytes && at + 1 < entries.size(); at += 2) {
        const auto unit = static_cast<char16_t>(entries[at] | (entries[at + 1] << 8));
        if (unit == 0) break;
        units.push_back(unit);
    }
    std::string name;
    icu::UnicodeString(units.data(), static_cast<std::int32_t>(units.size())).toUTF8String(name);
    return name;
}

VentoyInstallResult runSequence(const VentoyInstaller& installer, BlockDevice& block,
                                const VentoyWriteSequence::Plan& plan, const VentoyBootFiles& files,
                                const VentoyReleaseManifest& manifest, const InstallProgressHandler& onProgress,
                                const InstallCancelCheck& isCancelled) {
    const VentoyWriteSequence::Context context{block,       *installer.formatter(), *installer.fat32Formatter(),
                                               installer.writeChunkSectors(), onProgress, isCancelled};
    return {VentoyInstallResult::Completed{VentoyWriteSequence::run(context, plan, files, manifest)}};
}

void report(const InstallProgressHandler& onProgress, InstallStage stage) {
    if (onProgress) onProgress(stage, std::nullopt);
}

// What update learns from the drive before it writes anything.
struct FoundDrive {
    VentoyDriveStatus status;
    std::int32_t diskSignature = 0;
    std::optional<std::string> part1Name;  // GPT only
};

std::variant<FoundDrive, std::string> readDrive(BlockDevice& block) {
    const int sectorSize = block.sectorSize();
    BlockReadResult first = block.readSectors(0, 1);
    if (const auto* error = std::get_if<BlockError>(&first)) {
        return "Marlowick couldn't read this drive's partition table to confirm what it was updating, so nothing was "
               "changed. " + userMessage(*error);
    }
    const auto& sector0 = std::get<BlockReadSuccess>(first).data;
    if (!VentoyDriveDetector::isGptProtectiveMbr(sector0) || sectorSize != VentoyDriveDetector::gptSectorSize) {
        const auto parsed = MbrBuilder::parse(sector0);
        return FoundDrive{VentoyDriveDetector::classify(sector0, block.sectorCount(), sectorSize),
                          static_cast<std::int32_t>(parsed ? parsed->diskSignature : 0), std::nullopt};
    }
    BlockReadResult header = block.readSectors(1, 1);
    if (const auto* error = std::get_if<BlockError>(&header)) {
        return "Marlowick couldn't read this drive's GPT header, so nothing was changed. " + userMessage(*error);
    }
    BlockReadResult entries = block.readSectors(2, gptEntryArraySectors);
    if (const auto* error = std::get_if<BlockError>(&entries)) {
        return "Marlowick couldn't read this drive's partition entries, so nothing was changed. " + userMessage(*error);
    }
    const auto& entryBytes = std::get<BlockReadSuccess>(entries).data;
    return FoundDrive{VentoyDriveDetector::classifyGpt(std::get<BlockReadSuccess>(header).data, entryBytes,
                                                       block.sectorCount(), sectorSize),
                      VentoyInstaller::newDiskSignature(), gptPart1Name(entryBytes)};
}

}  // namespace

VentoyInstaller::VentoyInstaller(std::shared_ptr<const ExfatFormatter> formatter,
                                 std::shared_ptr<const Fat32Formatter> fat32Formatter, std::int64_t writeChunkSectors,
                                 std::shared_ptr<const FileOpener> bootFileOpener)
    : exfatFormatter(std::move(formatter)),
      fat32(std::move(fat32Formatter)),
      chunkSectors(writeChunkSectors),
      fileOpener(bootFileOpener ? std::move(bootFileOpener) : std::make_shared<const DefaultFileOpener>()) {}

std::int32_t VentoyInstaller::newDiskSignature() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(milliseconds)));
}

VentoyInstallResult VentoyInstaller::install(BlockDevice& block, const VentoyAssetSet& assets,
                                             const VentoyReleaseManifest& manifest, std::int32_t diskSignature,
                                             const VentoyInstallOptions& options,
                                             const InstallProgressHandler& onProgress,
                                             const InstallCancelCheck& isCancelled) const {
    const int sectorSize = block.sectorSize();
    auto files = checkedFiles(sectorSize, assets, manifest, *fileOpener);
    if (auto* refusal = std::get_if<std::string>(&files)) return aborted(std::move(*refusal));
    if (auto refusal = VentoyInstallValidation::validatePartitionStyle(options.partitionStyle(), sectorSize)) {
        return aborted(std::move(*refusal));
    }
    report(onProgress, InstallStage::layout);
    const std::int64_t reserveSectors = options.reserveBytesAtEnd() / std::max(1, sectorSize);
    const auto calculated = VentoyLayoutCalculator::calculate(block.sectorCount(), sectorSize, options.partitionStyle(),
                                                              reserveSectors, options.alignTo4K());
    if (std::holds_alternative<VentoyLayoutCalculator::DiskTooLargeForMbr>(calculated)) {
        return aborted("disk too large for 32-bit MBR: " + std::to_string(block.sectorCount()) + " sectors");
    }
    if (std::holds_alternative<VentoyLayoutCalculator::DiskTooSmall>(calculated)) {
        return aborted("disk too small: " + std::to_string(block.sectorCount()) + " < " +
                       std::to_string(reserveSectors + VentoyLayoutCalculator::minimumDiskSectorCount) + " sectors");
    }
    if (!std::holds_alternative<VentoyLayoutCalculator::Success>(calculated)) {
        return aborted("no Ventoy layout for this drive: " + VentoyLayoutCalculator::render(calculated));
    }
    const VentoyLayout& layout = std::get<VentoyLayoutCalculator::Success>(calculated).layout;
    const auto& bootFiles = std::get<VentoyBootFiles>(files);
    if (auto refusal = layoutFit(layout, bootFiles, sectorSize)) return aborted(std::move(*refusal));
    const std::string label = options.volumeLabel().value_or(std::string(defaultVolumeLabel));
    const VentoyDataPartition::Request data{options.dataFilesystem(), label, options.dataClusterBytes(), diskSignature};
    if (auto refusal = VentoyDataPartition::check(layout, data, block.sectorCount())) return aborted(std::move(*refusal));
    const VentoyWriteSequence::Plan plan{layout, diskSignature, true, label, label, data};
    return runSequence(*this, block, plan, bootFiles, manifest, onProgress, isCancelled);
}

VentoyInstallResult VentoyInstaller::update(BlockDevice& block, const VentoyAssetSet& assets,
                                            const VentoyReleaseManifest& manifest,
                                            const InstallProgressHandler& onProgress,
                                            const InstallCancelCheck& isCancelled) const {
    const int sectorSize = block.sectorSize();
    auto files = checkedFiles(sectorSize, assets, manifest, *fileOpener);
    if (auto* refusal = std::get_if<std::string>(&files)) return aborted(std::move(*refusal));
    report(onProgress, InstallStage::layout);
    auto read = readDrive(block);
    if (auto* refusal = std::get_if<std::string>(&read)) return aborted(std::move(*refusal));
    const auto& found = std::get<FoundDrive>(read);
    if (const auto* notVentoy = std::get_if<VentoyDriveStatus::NotVentoy>(&found.status.value)) {
        return aborted("non-destructive update needs an existing Ventoy layout; drive is not Ventoy (" +
                       notVentoy->reason + ") — prepare it instead");
    }
    if (const auto* incompatible = std::get_if<VentoyDriveStatus::IncompatibleVentoy>(&found.status.value)) {
        return aborted("non-destructive update needs an exact Marlowick Ventoy layout; drive is incompatible (" +
                       incompatible->reason + ") — reinstall instead");
    }
    const VentoyLayout& layout = std::get<VentoyDriveStatus::Ventoy>(found.status.value).layout;
    const auto& bootFiles = std::get<VentoyBootFiles>(files);
    if (auto refusal = layoutFit(layout, bootFiles, sectorSize)) return aborted(std::move(*refusal));
    const std::string label(updateVolumeLabel);
    // Partition 1's files stay, and so does the name the drive gave it.
    const VentoyWriteSequence::Plan plan{layout, found.diskSignature, false, label, found.part1Name.value_or(label),
                                         VentoyDataPartition::Request{}};
    return runSequence(*this, block, plan, bootFiles, manifest, onProgress, isCancelled);
}

VentoyInstallResult VentoyInstaller::writeAndVerify(BlockDevice& block, const VentoyLayout& layout,
                                                    const VentoyAssetSet& assets,
                                                    const VentoyReleaseManifest& manifest, std::int32_t diskSignature,
                                                    bool formatPartition1, const std::string& volumeLabel,
                                                    DriveFilesystem dataFilesystem,
                                                    std::optional<std::int64_t> dataClusterBytes,
                                                    const InstallProgressHandler& onProgress,
                                                    const InstallCancelCheck& isCancelled) const {
    const int sectorSize = block.sectorSize();
    auto files = checkedFiles(sectorSize, assets, manifest, *fileOpener);
    if (auto* refusal = std::get_if<std::string>(&files)) return aborted(std::move(*refusal));
    const auto& bootFiles = std::get<VentoyBootFiles>(files);
    if (auto refusal = layoutFit(layout, bootFiles, sectorSize)) return aborted(std::move(*refusal));
    const VentoyDataPartition::Request data{dataFilesystem, volumeLabel, dataClusterBytes, diskSignature};
    if (formatPartition1) {
        if (auto refusal = VentoyDataPartition::check(layout, data, block.sectorCount())) {
            return aborted(std::move(*refusal));
        }
    }
    const VentoyWriteSequence::Plan plan{layout, diskSignature, formatPartition1, volumeLabel, volumeLabel, data};
    return runSequence(*this, block, plan, bootFiles, manifest, onProgress, isCancelled);
}

}  // namespace marlowick
