#pragma once
// Puts one image file onto a mounted data volume and proves the copy. It writes under a
// hidden partial name in the destination folder, hashes what it writes, flushes the file and
// drops it from the page cache, checks its size, reads it back from the medium and compares
// SHA-256 (hash and read-back only when asked), and only then gives the file its final name
// with a rename that never replaces anything. A failure or cancel at any point removes the
// partial file, so a file under the image's name is always complete. Partial files that
// killed copies left in the folder are removed first (PartialCopyFile). The source must be
// a regular file; anything else is refused at once, before anything is written.
//
// Every name is opened relative to a descriptor of the destination folder and never
// through a symbolic link. Blocking; holds no shared state; never throws.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Bytes/ByteProgress.hpp"
#include "Files/MountedImageCopyResult.hpp"
#include "Files/PartialCopyFile.hpp"

namespace marlowick {

struct VolumeSpace {
    std::int64_t free = 0;
    std::int64_t total = 0;
    bool operator==(const VolumeSpace&) const = default;
};

class MountedImageCopier {
public:
    static constexpr int defaultChunkBytes = 4194304;
    static constexpr std::string_view partialPrefix = PartialCopyFile::prefix;

    using SpaceProbe = std::function<std::optional<VolumeSpace>(const std::string& folder)>;
    // The largest file the folder's file system can hold; absent when there is no limit or it is unknown.
    using FileSizeLimitProbe = std::function<std::optional<std::int64_t>(const std::string& folder)>;
    using ProgressHandler = std::function<void(const ByteProgress&)>;
    using CancelCheck = std::function<bool()>;

    // At least one byte per step, whatever is given.
    explicit MountedImageCopier(int chunkBytes = defaultChunkBytes);

    int chunkBytes;
    SpaceProbe spaceProbe;
    FileSizeLimitProbe fileSizeLimitProbe;
    // Called with the partial file's path just before the read-back; empty in production.
    std::function<void(const std::string& partialPath)> beforeVerify;

    // `sizeBytes` is what the caller declares for the source; the opened source must be a
    // regular file of exactly that size (anything else is sourceNotAFile at once). Progress
    // goes to `progress` while writing and to `verifyProgress` while reading back, both on
    // the calling thread; isCancelled is asked before every chunk of either pass.
    [[nodiscard]] MountedImageCopyResult copy(const std::string& sourcePath, const std::string& name,
                                              std::int64_t sizeBytes, const std::filesystem::path& into,
                                              bool verifyContentHash, const ProgressHandler& progress,
                                              const ProgressHandler& verifyProgress,
                                              const CancelCheck& isCancelled) const;

    // How a copy from this source would be refused at once (sourceUnreadable, or
    // sourceNotAFile for a FIFO, device, directory or socket); none for a regular file that
    // opens. Never waits.
    [[nodiscard]] static std::optional<MountedImageCopyResult> sourceRefusal(const std::string& sourcePath);
    // statvfs of the path: available and total blocks times the fragment size.
    [[nodiscard]] static std::optional<VolumeSpace> statfsSpace(const std::string& path);
    // 4294967295 (4 GiB - 1) when the path lies on a FAT file system, however it is mounted
    // (kernel vfat, or FUSE, whose statfs reports one type for every file system); else none.
    [[nodiscard]] static std::optional<std::int64_t> mountFileSizeLimit(const std::string& path);
    // "errno 28 (No space left on device)"
    [[nodiscard]] static std::string errnoDetail(int errorNumber);
    // Reads until `count` bytes are in or the file ends, repeating reads cut short by a
    // signal. The bytes read, or the negated errno of the first other failure.
    [[nodiscard]] static std::int64_t readFully(int fd, std::uint8_t* buffer, std::int64_t count);

    static constexpr std::int64_t fatFileSizeLimit = 4294967295;
};

}  // namespace marlowick
