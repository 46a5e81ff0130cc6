#include "Files/DriveFileAccess.hpp"

namespace marlowick {

DriveFileOutcome<std::vector<HelperImageEntry>> DriveFileAccess::listImages(const HelperDiskRef& disk,
                                                                            const HelperVentoyLayout& layout) {
    using Outcome = DriveFileOutcome<std::vector<HelperImageEntry>>;
    std::vector<VolumePath> pending{VolumePath::root};
    std::vector<MountedEntry> files;
    while (!pending.empty()) {
        const VolumePath folder = std::move(pending.back());
        pending.pop_back();
        const DriveFileOutcome<std::vector<MountedEntry>> listed = list(folder, disk, layout);
        if (const auto* refused = std::get_if<DriveFileOutcome<std::vector<MountedEntry>>::Refused>(&listed.value)) {
            return Outcome::refused(refused->refusal);
        }
        if (const auto* failed = std::get_if<DriveFileOutcome<std::vector<MountedEntry>>::Failed>(&listed.value)) {
            return Outcome::failed(failed->failure);
        }
        const std::vector<MountedEntry>& entries = *listed.doneValue();
        for (const MountedEntry& entry : entries) {
            if (!entry.isDirectory) files.push_back(entry);
        }
        // Reverse order on the stack, so the first listed sub-folder is visited next.
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            if (entry->isDirectory) pending.push_back(entry->path);
        }
    }
    return Outcome::done(MountedEntry::bootableImages(files));
}

}  // namespace marlowick
