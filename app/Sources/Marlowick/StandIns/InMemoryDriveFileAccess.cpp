#include "StandIns/InMemoryDriveFileAccess.hpp"

#include <algorithm>

#include "Files/MountedVolumeFiles.hpp"

namespace marlowick {

InMemoryDriveFileAccess::InMemoryDriveFileAccess(const std::map<std::string, std::int64_t>& files,
                                                 std::chrono::system_clock::time_point modifiedAt) {
    for (const auto& [text, size] : files) {
        std::string pathText = text;
        const bool isDirectory = pathText.size() > 1 && pathText.back() == '/';
        if (isDirectory) pathText.pop_back();
        const std::optional<VolumePath> path = VolumePath::parse(pathText);
        if (!path || path->isRoot()) continue;
        for (std::optional<VolumePath> folder = path->parent(); folder && !folder->isRoot(); folder = folder->parent()) {
            entries.insert_or_assign(*folder, MountedEntry(*folder, true, 0, modifiedAt));
        }
        entries.insert_or_assign(*path, MountedEntry(*path, isDirectory, size, modifiedAt));
    }
}

DriveFileOutcome<std::vector<MountedEntry>> InMemoryDriveFileAccess::list(const VolumePath& path, const HelperDiskRef&,
                                                                          const HelperVentoyLayout&) {
    using Outcome = DriveFileOutcome<std::vector<MountedEntry>>;
    const std::lock_guard guard(lock);
    if (refusalValue) return Outcome::refused(*refusalValue);
    if (!path.isRoot()) {
        const auto found = entries.find(path);
        if (found == entries.end() || !found->second.isDirectory) {
            return Outcome::failed(MountedFileFailure{MountedFileFailure::NotFound{path}});
        }
    }
    std::vector<MountedEntry> children;
    for (const auto& [entryPath, entry] : entries) {
        if (entryPath.parent() == path) children.push_back(entry);
    }
    std::stable_sort(children.begin(), children.end(),
                     [](const MountedEntry& a, const MountedEntry& b) { return MountedVolumeFiles::nameOrder(a.name(), b.name()); });
    return Outcome::done(std::move(children));
}

DriveFileOutcome<MountedDeleteReport> InMemoryDriveFileAccess::remove(const std::vector<VolumePath>& paths,
                                                                      const HelperDiskRef&, const HelperVentoyLayout&,
                                                                      const DriveFileCancelCheck&) {
    using Outcome = DriveFileOutcome<MountedDeleteReport>;
    const std::lock_guard guard(lock);
    if (refusalValue) return Outcome::refused(*refusalValue);
    deleteCallsValue.push_back(paths);
    MountedDeleteReport report;
    for (const VolumePath& path : paths) {
        if (const auto failure = deleteFailures.find(path); failure != deleteFailures.end()) {
            report.outcomes.push_back({path, failure->second, 0});
        } else if (const auto found = entries.find(path); found != entries.end()) {
            const std::int64_t removed = found->second.sizeBytes;
            entries.erase(found);
            report.outcomes.push_back({path, std::nullopt, removed});
        } else {
            report.outcomes.push_back({path, MountedFileFailure{MountedFileFailure::NotFound{path}}, 0});
        }
    }
    return Outcome::done(std::move(report));
}

void InMemoryDriveFileAccess::setRefusal(std::optional<MountedVolumeRefusal> refusal) {
    const std::lock_guard guard(lock);
    refusalValue = std::move(refusal);
}

void InMemoryDriveFileAccess::setDeleteFailure(const VolumePath& path, MountedFileFailure failure) {
    const std::lock_guard guard(lock);
    deleteFailures.insert_or_assign(path, std::move(failure));
}

std::vector<std::vector<VolumePath>> InMemoryDriveFileAccess::deleteCalls() const {
    const std::lock_guard guard(lock);
    return deleteCallsValue;
}

std::optional<MountedEntry> InMemoryDriveFileAccess::entry(const VolumePath& path) const {
    const std::lock_guard guard(lock);
    const auto found = entries.find(path);
    if (found == entries.end()) return std::nullopt;
    return found->second;
}

}  // namespace marlowick
