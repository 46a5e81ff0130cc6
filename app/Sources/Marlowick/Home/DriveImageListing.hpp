#pragma once
// The home model's image listing over a drive's file access: the bootable images of the
// data volume, or none when the volume was refused or could not be listed.

#include <memory>

#include "Files/DriveFileAccess.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {

[[nodiscard]] inline HomeViewModel::ListDriveImages driveImageListing(std::shared_ptr<DriveFileAccess> access) {
    return [access = std::move(access)](const HelperDiskRef& disk,
                                        const HelperVentoyLayout& layout) -> std::optional<std::vector<HelperImageEntry>> {
        const auto listed = access->listImages(disk, layout);
        if (const auto* images = listed.doneValue()) return *images;
        return std::nullopt;
    };
}

}  // namespace marlowick
