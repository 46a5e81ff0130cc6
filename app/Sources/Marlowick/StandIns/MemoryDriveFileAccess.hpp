#pragma once
// A drive's data partition held in memory, behind the drive file access the models use,
// for the UI-test world and for the tests: folders, files with sizes and dates, and
// symbolic links, which it refuses as the mounted volume's files do. Like the mounted
// volume it refuses to delete a folder that still holds something and stops a deletion
// between paths once it is cancelled. A test can have the volume refused, a folder's
// listing fail, and look at (or hold up) each path of a deletion as it goes. Thread-safe:
// the models call it from their background jobs.

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Files/DriveFileAccess.hpp"

namespace marlowick::testing {

class MemoryDriveFileAccess final : public DriveFileAccess {
public:
    enum class Kind { folder, file, link };

    // Each adds its missing parent folders. Paths are in text form ("/iso/a.iso").
    void addFolder(const std::string& path);
    void addFile(const std::string& path, std::int64_t sizeBytes, int daysAfterEpoch = 20'000);
    // The same, changed at `modified`; the folders this makes are dated so too.
    void addFolder(const std::string& path, std::chrono::system_clock::time_point modified);
    void addFile(const std::string& path, std::int64_t sizeBytes, std::chrono::system_clock::time_point modified);
    void addLink(const std::string& path);
    [[nodiscard]] bool contains(const std::string& path) const;

    // Every call is refused with this while it is set.
    void refuseWith(std::optional<MountedVolumeRefusal> refusal);
    // Listing this folder fails with this.
    void failListing(const std::string& path, MountedFileFailure failure);
    // Runs on the deleting thread after each path was handled, with that path.
    void afterEachDeletion(std::function<void(const VolumePath&)> hook);

    [[nodiscard]] int listings() const;
    [[nodiscard]] std::vector<VolumePath> listed() const;

    [[nodiscard]] DriveFileOutcome<std::vector<MountedEntry>> list(const VolumePath& path, const HelperDiskRef& disk,
                                                                   const HelperVentoyLayout& layout) override;
    [[nodiscard]] DriveFileOutcome<MountedDeleteReport> remove(const std::vector<VolumePath>& paths,
                                                               const HelperDiskRef& disk,
                                                               const HelperVentoyLayout& layout,
                                                               const DriveFileCancelCheck& isCancelled) override;

private:
    struct Node {
        Kind kind = Kind::file;
        std::int64_t sizeBytes = 0;
        std::chrono::system_clock::time_point modified;
    };

    void add(const std::string& path, Node node);
    // The first link or non-folder on the way to `path` (not `path` itself), as a failure.
    [[nodiscard]] std::optional<MountedFileFailure> blockedOnTheWay(const VolumePath& path) const;
    [[nodiscard]] std::optional<MountedFileFailure> removeOne(const VolumePath& path, std::int64_t& removedBytes);

    mutable std::mutex mutex;
    std::map<std::vector<std::string>, Node> nodes;
    std::optional<MountedVolumeRefusal> refusal;
    std::map<std::vector<std::string>, MountedFileFailure> listingFailures;
    std::function<void(const VolumePath&)> deletionHook;
    std::vector<VolumePath> listedPaths;
};

}  // namespace marlowick::testing
