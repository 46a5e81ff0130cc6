#pragma once
// A prepared drive's data volume held in memory, for the UI-test world and for tests of
// the screens that browse a drive: a fixed file table with folders, a refusal and
// per-path delete failures a test can inject, and a record of every delete call. The disk
// and layout arguments are ignored. Safe on any thread: one lock guards the whole of each
// call and the fields below.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Files/DriveFileAccess.hpp"

namespace marlowick {

class InMemoryDriveFileAccess final : public DriveFileAccess {
public:
    // Path text to size. A text ending in "/" is a folder; every folder on the way to an
    // entry is made too. Texts that are no volume path, and the root, are skipped.
    InMemoryDriveFileAccess(const std::map<std::string, std::int64_t>& files,
                            std::chrono::system_clock::time_point modifiedAt);

    // The children of a folder, sorted by name as file browsers sort (letter case aside,
    // runs of digits by value); folders are not put first. A file or a missing path is
    // not found.
    [[nodiscard]] DriveFileOutcome<std::vector<MountedEntry>> list(const VolumePath& path, const HelperDiskRef& disk,
                                                                   const HelperVentoyLayout& layout) override;
    // Removes exactly the entries named (a folder's children stay), in order; never asks
    // whether it is cancelled.
    [[nodiscard]] DriveFileOutcome<MountedDeleteReport> remove(const std::vector<VolumePath>& paths,
                                                               const HelperDiskRef& disk,
                                                               const HelperVentoyLayout& layout,
                                                               const DriveFileCancelCheck& isCancelled) override;

    // What a test injects and reads; each takes the lock.
    void setRefusal(std::optional<MountedVolumeRefusal> refusal);
    void setDeleteFailure(const VolumePath& path, MountedFileFailure failure);
    [[nodiscard]] std::vector<std::vector<VolumePath>> deleteCalls() const;
    [[nodiscard]] std::optional<MountedEntry> entry(const VolumePath& path) const;

private:
    mutable std::mutex lock;
    std::unordered_map<VolumePath, MountedEntry> entries;
    std::optional<MountedVolumeRefusal> refusalValue;
    std::unordered_map<VolumePath, MountedFileFailure> deleteFailures;
    std::vector<std::vector<VolumePath>> deleteCallsValue;
};

}  // namespace marlowick
