#include "Files/MountedDriveFileAccess.hpp"

#include "Files/MountedVolumeResolver.hpp"
#include "Files/PartialCopyFile.hpp"

namespace marlowick {

std::variant<MountedVolumeFiles, MountedVolumeRefusal> MountedDriveFileAccess::reach(const HelperDiskRef& disk,
                                                                                     const HelperVentoyLayout& layout) {
    const std::optional<VentoyLayout> engineLayout = layout.ventoyLayout();
    if (!engineLayout) {
        return MountedVolumeRefusal{MountedVolumeRefusal::DataPartitionNotFound{
            TargetVerification::wholeDiskBSDName(disk.rawDevicePath).value_or(disk.rawDevicePath)}};
    }
    const MountedVolumeResolution resolution =
        MountedVolumeResolver::resolve(disk, *engineLayout, *deviceProbe, *volumeProbe);
    if (const auto* refused = std::get_if<MountedVolumeResolution::Refused>(&resolution.value)) return refused->refusal;
    return MountedVolumeFiles(std::get<MountedVolume>(resolution.value));
}

DriveFileOutcome<std::vector<MountedEntry>> MountedDriveFileAccess::list(const VolumePath& path,
                                                                         const HelperDiskRef& disk,
                                                                         const HelperVentoyLayout& layout) {
    using Outcome = DriveFileOutcome<std::vector<MountedEntry>>;
    auto reached = reach(disk, layout);
    if (auto* refusal = std::get_if<MountedVolumeRefusal>(&reached)) return Outcome::refused(*refusal);
    MountedFileResult<std::vector<MountedEntry>> listed = std::get<MountedVolumeFiles>(reached).list(path, false);
    if (auto* failure = std::get_if<MountedFileFailure>(&listed)) return Outcome::failed(*failure);
    return Outcome::done(std::move(std::get<std::vector<MountedEntry>>(listed)));
}

DriveFileOutcome<MountedDeleteReport> MountedDriveFileAccess::remove(const std::vector<VolumePath>& paths,
                                                                     const HelperDiskRef& disk,
                                                                     const HelperVentoyLayout& layout,
                                                                     const DriveFileCancelCheck& isCancelled) {
    using Outcome = DriveFileOutcome<MountedDeleteReport>;
    auto reached = reach(disk, layout);
    if (auto* refusal = std::get_if<MountedVolumeRefusal>(&reached)) return Outcome::refused(*refusal);
    return Outcome::done(std::get<MountedVolumeFiles>(reached).remove(paths, isCancelled));
}

DriveFileOutcome<std::vector<HelperImageEntry>> MountedDriveFileAccess::listImages(const HelperDiskRef& disk,
                                                                                   const HelperVentoyLayout& layout) {
    using Outcome = DriveFileOutcome<std::vector<HelperImageEntry>>;
    auto reached = reach(disk, layout);
    if (auto* refusal = std::get_if<MountedVolumeRefusal>(&reached)) return Outcome::refused(*refusal);
    const MountedVolumeFiles& files = std::get<MountedVolumeFiles>(reached);
    // Images are copied into the root; what killed copies left there goes now.
    PartialCopyFile::removeStale(files.root);
    MountedFileResult<std::vector<MountedEntry>> tree =
        files.listTree(VolumePath::root, false, MountedVolumeFiles::defaultMaxTreeEntries);
    if (auto* failure = std::get_if<MountedFileFailure>(&tree)) return Outcome::failed(*failure);
    return Outcome::done(MountedEntry::bootableImages(std::get<std::vector<MountedEntry>>(tree)));
}

}  // namespace marlowick
