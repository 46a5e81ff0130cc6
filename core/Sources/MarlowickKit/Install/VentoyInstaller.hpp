#pragma once
// Turns a block device into a Ventoy drive (install), or rewrites the boot parts of an
// existing one and leaves partition 1's files alone (update), from the three cached
// boot files of a release. Every check runs before the first write and a refusal comes
// back as aborted(reason) with the drive untouched: the files' sizes and SHA-256 against
// the manifest, the layout, the fit of the images, and the data partition's format
// parameters. After that the run returns completed(report) whatever happens; each piece
// written is read back. Works through the BlockDevice it is given and never closes it;
// the boot files are only read, opened through the installer's boot-file opener.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Block/BlockDevice.hpp"
#include "Block/FileOpener.hpp"
#include "Exfat/ExfatFormatter.hpp"
#include "Fat32/Fat32Formatter.hpp"
#include "Install/InstallCallbacks.hpp"
#include "Install/VentoyInstallOptions.hpp"
#include "Install/VentoyInstallResult.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/VentoyLayout.hpp"

namespace marlowick {

class VentoyInstaller {
public:
    static constexpr std::int64_t defaultWriteChunkSectors = 1024;
    static constexpr std::string_view defaultVolumeLabel = defaultDataVolumeLabel;
    // The label an update reports: it leaves partition 1's file system alone.
    static constexpr std::string_view updateVolumeLabel = "(unchanged)";

    // writeChunkSectors: sectors per write and per read-back request of the two images.
    // bootFileOpener opens the cached boot files; none means with this process's rights.
    VentoyInstaller(std::shared_ptr<const ExfatFormatter> formatter, std::shared_ptr<const Fat32Formatter> fat32Formatter,
                    std::int64_t writeChunkSectors = defaultWriteChunkSectors,
                    std::shared_ptr<const FileOpener> bootFileOpener = nullptr);

    // A fresh layout from the device's size and the options; partition 1 is formatted.
    [[nodiscard]] VentoyInstallResult install(BlockDevice& block, const VentoyAssetSet& assets,
                                              const VentoyReleaseManifest& manifest, std::int32_t diskSignature,
                                              const VentoyInstallOptions& options,
                                              const InstallProgressHandler& onProgress,
                                              const InstallCancelCheck& isCancelled) const;

    // The layout found on the drive, which must be exactly the one this system writes.
    // An MBR drive keeps its disk signature; a GPT drive gets a new one from the clock
    // (and so new GUIDs) and keeps partition 1's name.
    [[nodiscard]] VentoyInstallResult update(BlockDevice& block, const VentoyAssetSet& assets,
                                             const VentoyReleaseManifest& manifest,
                                             const InstallProgressHandler& onProgress,
                                             const InstallCancelCheck& isCancelled) const;

    // The write sequence on a layout the caller chose, after the same checks of the
    // files, of their fit and (when formatting) of the data partition's parameters.
    [[nodiscard]] VentoyInstallResult writeAndVerify(BlockDevice& block, const VentoyLayout& layout,
                                                     const VentoyAssetSet& assets,
                                                     const VentoyReleaseManifest& manifest,
                                                     std::int32_t diskSignature, bool formatPartition1,
                                                     const std::string& volumeLabel, DriveFilesystem dataFilesystem,
                                                     std::optional<std::int64_t> dataClusterBytes,
                                                     const InstallProgressHandler& onProgress,
                                                     const InstallCancelCheck& isCancelled) const;

    // The low 32 bits of the current Unix time in milliseconds, as a signed value.
    [[nodiscard]] static std::int32_t newDiskSignature();

    [[nodiscard]] const std::shared_ptr<const ExfatFormatter>& formatter() const { return exfatFormatter; }
    [[nodiscard]] const std::shared_ptr<const Fat32Formatter>& fat32Formatter() const { return fat32; }
    [[nodiscard]] std::int64_t writeChunkSectors() const { return chunkSectors; }
    [[nodiscard]] const FileOpener& bootFileOpener() const { return *fileOpener; }

private:
    std::shared_ptr<const ExfatFormatter> exfatFormatter;
    std::shared_ptr<const Fat32Formatter> fat32;
    std::int64_t chunkSectors;
    std::shared_ptr<const FileOpener> fileOpener;
};

}  // namespace marlowick
