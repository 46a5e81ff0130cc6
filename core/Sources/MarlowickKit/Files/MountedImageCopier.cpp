#include "Files/MountedImageCopier.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "Bytes/Sha256.hpp"
#include "Text/ErrnoText.hpp"
#include "Files/MountedFileSystemType.hpp"
#include "Files/PartialCopyFile.hpp"
#include "Files/VolumePath.hpp"
#include "Image/SourceFile.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

using Result = MountedImageCopyResult;

constexpr std::int64_t maxNameUnits = 255;

std::int64_t writeFully(int fd, const std::uint8_t* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        done += n;
    }
    return done;
}

// Drops the file's cached pages, so the next read of them comes from the medium (through
// the file system) and not from the copy of our own buffer the kernel kept.
void dropCachedPages(int fd) { (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED); }

void syncFolder(int folderFd) { (void)::fsync(folderFd); }

// Everything one copy holds open, released on every way out: the partial file (removed
// unless it got its final name) before the folder it lies in.
struct Resources {
    std::optional<SourceFile> source;
    int folder = -1;
    std::optional<PartialCopyFile> partial;

    ~Resources() {
        partial.reset();
        if (folder >= 0) ::close(folder);
    }
};

MountedImageCopyResult sourceRefused(const SourceFile::Refusal& refusal) {
    if (const auto* other = std::get_if<SourceFile::NotAFile>(&refusal)) {
        return {MountedImageCopyResult::SourceNotAFile{describe(other->kind)}};
    }
    return {MountedImageCopyResult::SourceUnreadable{
        MountedImageCopier::errnoDetail(std::get<SourceFile::Unopenable>(refusal).errorNumber)}};
}

struct ReadBack {
    struct Digest {
        std::string hex;
    };
    struct Failed {
        std::string reason;
    };
    struct Cancelled {};
    std::variant<Digest, Failed, Cancelled> value;
};

// Renames without ever replacing: renameat2(RENAME_NOREPLACE). File systems that do not
// offer it answer EINVAL, ENOSYS or EOPNOTSUPP (FUSE does); for them the name is checked
// with an lstat and then renamed plainly. That leaves a window in which another writer could
// take the name, which is accepted there: the partial file is ours and the folder is the
// user's own drive.
std::optional<Result> renameExclusive(int folder, const std::string& from, const std::string& to) {
    int error = 0;
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return std::nullopt;
    error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        struct stat existing {};
        if (::fstatat(folder, to.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return Result{Result::AlreadyExists{}};
        if (::renameat(folder, from.c_str(), folder, to.c_str()) == 0) return std::nullopt;
        error = errno;
    }
    if (error == EEXIST) return Result{Result::AlreadyExists{}};
    if (error == EINVAL || error == ENAMETOOLONG || error == EILSEQ) return Result{Result::NameNotStorable{}};
    return Result{Result::IoFailed{"rename", "write", MountedImageCopier::errnoDetail(error)}};
}

}  // namespace

MountedImageCopier::MountedImageCopier(int chunk)
    : chunkBytes(std::max(chunk, 1)), spaceProbe(statfsSpace), fileSizeLimitProbe(mountFileSizeLimit) {}

std::string MountedImageCopier::errnoDetail(int errorNumber) { return errnoText(errorNumber); }

std::int64_t MountedImageCopier::readFully(int fd, std::uint8_t* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

std::optional<MountedImageCopyResult> MountedImageCopier::sourceRefusal(const std::string& sourcePath) {
    const auto opened = SourceFile::open(sourcePath);
    if (const auto* refusal = std::get_if<SourceFile::Refusal>(&opened)) return sourceRefused(*refusal);
    return std::nullopt;
}

std::optional<VolumeSpace> MountedImageCopier::statfsSpace(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
    const auto unit = static_cast<std::int64_t>(info.f_frsize);
    return VolumeSpace{static_cast<std::int64_t>(info.f_bavail) * unit, static_cast<std::int64_t>(info.f_blocks) * unit};
}

std::optional<std::int64_t> MountedImageCopier::mountFileSizeLimit(const std::string& path) {
    const std::optional<std::string> type = MountedFileSystemType::of(path);
    if (type && MountedFileSystemType::isFat(*type)) return fatFileSizeLimit;
    return std::nullopt;
}

MountedImageCopyResult MountedImageCopier::copy(const std::string& sourcePath, const std::string& name,
                                                std::int64_t sizeBytes, const std::filesystem::path& into,
                                                bool verifyContentHash, const ProgressHandler& progress,
                                                const ProgressHandler& verifyProgress,
                                                const CancelCheck& isCancelled) const {
    if (sizeBytes < 0) return {Result::Rejected{ExfatWriteError{ExfatWriteError::NegativeSize{sizeBytes}}}};
    if (name.empty()) return {Result::Rejected{ExfatWriteError{ExfatWriteError::EmptyName{}}}};
    if (const std::int64_t units = utf16Length(name); units > maxNameUnits) {
        return {Result::Rejected{ExfatWriteError{ExfatWriteError::NameTooLong{units}}}};
    }
    if (!VolumePath::isStorable(name)) return {Result::NameNotStorable{}};

    Resources held;
    // Opened without waiting, and only a regular file: a FIFO must not hang the copy.
    auto opened = SourceFile::open(sourcePath);
    if (const auto* refusal = std::get_if<SourceFile::Refusal>(&opened)) return sourceRefused(*refusal);
    held.source.emplace(std::move(std::get<SourceFile>(opened)));
    // The declared size must be the file's: a caller that could not measure it declares 0,
    // and copying 0 bytes of a whole image would be reported as a finished copy.
    const std::int64_t sourceBytes = held.source->sizeBytes();
    if (sourceBytes < sizeBytes) return {Result::SourceTooShort{sizeBytes, sourceBytes}};
    if (sourceBytes > sizeBytes) return {Result::SourceSizeMismatch{sizeBytes, sourceBytes}};

    const std::string folderPath = into.string();
    // Partial files of copies that were killed go first: they hold space this copy may need.
    PartialCopyFile::removeStale(into);
    if (fileSizeLimitProbe) {
        if (const std::optional<std::int64_t> limit = fileSizeLimitProbe(folderPath); limit && *limit < sizeBytes) {
            return {Result::TooLargeForFilesystem{sizeBytes, *limit}};
        }
    }
    if (spaceProbe) {
        if (const std::optional<VolumeSpace> space = spaceProbe(folderPath); space && space->free < sizeBytes) {
            return {Result::NotEnoughSpace{sizeBytes, space->free}};
        }
    }

    held.folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (held.folder < 0) return {Result::IoFailed{"create", "write", errnoDetail(errno)}};
    // Anything at all under that name, a dangling link included, keeps its name.
    struct stat existing {};
    if (::fstatat(held.folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return {Result::AlreadyExists{}};

    auto created = PartialCopyFile::create(held.folder);
    if (const int* error = std::get_if<int>(&created)) {
        return {Result::IoFailed{"create", "write", errnoDetail(*error)}};
    }
    held.partial.emplace(std::move(std::get<PartialCopyFile>(created)));
    PartialCopyFile& partial = *held.partial;
    const std::string partialPath = (into / partial.name()).string();

    std::optional<Sha256::Hasher> hasher;
    if (verifyContentHash) hasher.emplace();
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunkBytes), 0);
    std::int64_t done = 0;
    while (done < sizeBytes) {
        if (isCancelled && isCancelled()) return {Result::Cancelled{}};
        const std::int64_t length = std::min<std::int64_t>(sizeBytes - done, chunkBytes);
        const std::int64_t got = readFully(held.source->descriptor(), buffer.data(), length);
        if (got < 0) return {Result::SourceUnreadable{errnoDetail(static_cast<int>(-got))}};
        if (got < length) return {Result::SourceTooShort{sizeBytes, done + got}};
        if (const std::int64_t written = writeFully(partial.writer(), buffer.data(), length); written < 0) {
            const int error = static_cast<int>(-written);
            if (error == ENOSPC) {
                partial.remove();  // measure the space with our partial file gone
                const std::optional<VolumeSpace> space = spaceProbe ? spaceProbe(folderPath) : std::nullopt;
                return {Result::NotEnoughSpace{sizeBytes, space ? space->free : -1}};
            }
            return {Result::IoFailed{"write", "write", errnoDetail(error)}};
        }
        if (hasher) hasher->update(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(length)));
        done += length;
        if (progress) progress(ByteProgress{done, sizeBytes});
    }

    if (::fsync(partial.writer()) != 0) return {Result::IoFailed{"flush", "write", errnoDetail(errno)}};
    dropCachedPages(partial.writer());
    if (const int error = partial.closeWriter(); error != 0) {
        return {Result::IoFailed{"flush", "write", errnoDetail(error)}};
    }

    struct stat flushed {};
    if (::fstatat(held.folder, partial.name().c_str(), &flushed, AT_SYMLINK_NOFOLLOW) != 0) {
        return {Result::VerificationFailed{"the flushed copy could not be examined: " + errnoDetail(errno)}};
    }
    if (flushed.st_size != sizeBytes) {
        return {Result::VerificationFailed{"the copy is " + std::to_string(flushed.st_size) + " bytes, expected " +
                                           std::to_string(sizeBytes)}};
    }
    if (beforeVerify) beforeVerify(partialPath);

    if (hasher) {
        const std::string written = hasher->finalHex();
        const int readFd = ::openat(held.folder, partial.name().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (readFd < 0) return {Result::VerificationFailed{"the copy could not be re-opened: " + errnoDetail(errno)}};
        // Nothing of the file may come from memory: what we wrote and anything read since.
        dropCachedPages(readFd);
        Sha256::Hasher readHasher;
        std::int64_t readDone = 0;
        std::optional<Result> stop;
        while (readDone < sizeBytes && !stop) {
            if (isCancelled && isCancelled()) {
                stop = Result{Result::Cancelled{}};
                break;
            }
            const std::int64_t length = std::min<std::int64_t>(sizeBytes - readDone, chunkBytes);
            const std::int64_t got = readFully(readFd, buffer.data(), length);
            if (got < 0) {
                stop = Result{Result::VerificationFailed{"the copy could not be re-read: " +
                                                         errnoDetail(static_cast<int>(-got))}};
            } else if (got < length) {
                stop = Result{Result::VerificationFailed{"the copy re-read short at byte " + std::to_string(readDone + got)}};
            } else {
                readHasher.update(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(length)));
                readDone += length;
                if (verifyProgress) verifyProgress(ByteProgress{readDone, sizeBytes});
            }
        }
        // Leave no pages of the verified copy behind either.
        dropCachedPages(readFd);
        ::close(readFd);
        if (stop) return *stop;
        const std::string readBack = readHasher.finalHex();
        if (readBack != written) {
            return {Result::VerificationFailed{"SHA-256 mismatch — wrote " + written + ", read back " + readBack}};
        }
    }

    if (std::optional<Result> refused = renameExclusive(held.folder, partial.name(), name)) return *refused;
    partial.keep();
    syncFolder(held.folder);

    const std::optional<VolumeSpace> after = spaceProbe ? spaceProbe(folderPath) : std::nullopt;
    return {Result::Copied{sizeBytes, after ? after->free : -1, after ? after->total : -1}};
}

}  // namespace marlowick
