#pragma once
// The hidden file a copy writes before the image gets its name, and the clean-up of those
// that a copy which was killed left behind. A copy holds an exclusive flock on its partial
// file from the moment the file exists until it has its final name or is gone again, so a
// partial file that nothing holds locked is stale, whichever process or run made it. flock
// works across processes and on FUSE mounts as on the kernel's own file systems (the kernel
// keeps the locks itself for a FUSE driver that keeps none). Every name is opened relative
// to the folder's descriptor and never through a symbolic link. Never throws.

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace marlowick {

class PartialCopyFile {
public:
    static constexpr std::string_view prefix = ".marlowick-partial-";

    // A new file in the folder, named with the prefix and 8 random lower-case hexadecimal
    // digits, created exclusively with mode 0644 and locked; or the errno of the failure.
    // `folder` must stay open while the value lives.
    [[nodiscard]] static std::variant<PartialCopyFile, int> create(int folder);

    // Removes from the folder every regular file whose name starts with the prefix and that
    // no copy holds locked; anything else with such a name stays. The number removed; 0 when
    // the folder cannot be opened.
    static int removeStale(const std::filesystem::path& folder);

    PartialCopyFile(PartialCopyFile&& other) noexcept;
    PartialCopyFile& operator=(PartialCopyFile&&) = delete;
    PartialCopyFile(const PartialCopyFile&) = delete;
    PartialCopyFile& operator=(const PartialCopyFile&) = delete;
    // As remove(), unless the file was kept; the lock is let go either way.
    ~PartialCopyFile();

    [[nodiscard]] const std::string& name() const { return fileName; }
    // The descriptor to write through, -1 once closed.
    [[nodiscard]] int writer() const { return writeFd; }
    // Closes the writing descriptor; the lock stays. 0, or the errno close reported.
    [[nodiscard]] int closeWriter();
    // Removes the file unless it was kept (unlinked while still locked, so that no clean-up
    // takes it for stale meanwhile), then closes both descriptors, which lets go of the lock
    // and gives the file's space back.
    void remove();
    // The file has been renamed to its final name: nothing is left to remove.
    void keep() { linked = false; }

private:
    PartialCopyFile(int folderFd, int writeDescriptor, int lockDescriptor, std::string name)
        : folder(folderFd), writeFd(writeDescriptor), lockFd(lockDescriptor), fileName(std::move(name)) {}

    int folder;
    int writeFd;
    int lockFd;
    std::string fileName;
    bool linked = true;
};

}  // namespace marlowick
