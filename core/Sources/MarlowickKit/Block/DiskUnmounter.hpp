#pragma once
// Frees a whole disk of every file system mounted from it, so that the disk can be opened
// for writing. Either every mount of the disk and its partitions is gone, or the result
// says why not.

#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace marlowick {

struct DiskUnmounted {
    std::vector<std::string> mountPoints;  // in the order they were unmounted; empty when nothing was mounted
    bool operator==(const DiskUnmounted&) const = default;
};

struct DiskUnmountRefused {
    std::string detail;  // "umount /media/u/STICK: errno 16 (Device or resource busy)"
    bool operator==(const DiskUnmountRefused&) const = default;
};

using DiskUnmountResult = std::variant<DiskUnmounted, DiskUnmountRefused>;

// "unmounted(mountPoints: [\"/mnt/a\"])", "refused(detail: \"…\")"
[[nodiscard]] std::string render(const DiskUnmountResult& result);
void PrintTo(const DiskUnmounted& result, std::ostream* os);
void PrintTo(const DiskUnmountRefused& result, std::ostream* os);

class DiskUnmounter {
public:
    virtual ~DiskUnmounter() = default;
    // `kernelName` names the whole disk ("sdb").
    [[nodiscard]] virtual DiskUnmountResult unmountWholeDisk(const std::string& kernelName) = 0;
};

}  // namespace marlowick
