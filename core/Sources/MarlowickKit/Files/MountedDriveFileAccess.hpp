#pragma once
// The live drive file access: every call resolves the drive's data volume afresh (the disk
// re-identified, the data partition found and mounted when needed) and then acts through
// the mounted-volume files. Nothing is cached between calls. Blocking; never throws.

#include <memory>

#include "Files/DriveFileAccess.hpp"
#include "Files/MountedVolumeFiles.hpp"
#include "Files/VolumeMountProbe.hpp"
#include "Block/HelperDeviceProbe.hpp"

namespace marlowick {

class MountedDriveFileAccess final : public DriveFileAccess {
public:
    MountedDriveFileAccess(std::shared_ptr<HelperDeviceProbe> targetProbe, std::shared_ptr<VolumeMountProbe> volumes)
        : deviceProbe(std::move(targetProbe)), volumeProbe(std::move(volumes)) {}

    [[nodiscard]] DriveFileOutcome<std::vector<MountedEntry>> list(const VolumePath& path, const HelperDiskRef& disk,
                                                                   const HelperVentoyLayout& layout) override;
    [[nodiscard]] DriveFileOutcome<MountedDeleteReport> remove(const std::vector<VolumePath>& paths,
                                                               const HelperDiskRef& disk,
                                                               const HelperVentoyLayout& layout,
                                                               const DriveFileCancelCheck& isCancelled) override;
    // One walk of the whole tree (hidden entries left out, at most 100000 entries): images in
    // depth-first order, each sub-folder's right after its place among its siblings. Partial
    // files of killed copies in the root, where images are copied, are removed first.
    [[nodiscard]] DriveFileOutcome<std::vector<HelperImageEntry>> listImages(const HelperDiskRef& disk,
                                                                             const HelperVentoyLayout& layout) override;

    std::shared_ptr<HelperDeviceProbe> deviceProbe;
    std::shared_ptr<VolumeMountProbe> volumeProbe;

private:
    [[nodiscard]] std::variant<MountedVolumeFiles, MountedVolumeRefusal> reach(const HelperDiskRef& disk,
                                                                               const HelperVentoyLayout& layout);
};

}  // namespace marlowick
