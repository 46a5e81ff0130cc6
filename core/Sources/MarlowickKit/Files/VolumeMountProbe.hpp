#pragma once
// The application's window onto the volumes of one attached disk: the partitions of a whole
// disk with what the system knows of each, a request to mount one partition, and which
// device a folder is mounted from. Partitions and disks are named by kernel name (sdb,
// sdb1, nvme0n1p1, loop3p1). Implementations never throw; a mount blocks its caller for
// at most the implementation's time-out.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace marlowick {

struct PartitionVolumeInfo {
    std::string bsdName;                   // kernel name of the partition, e.g. sdb1
    std::optional<std::int64_t> offsetBytes;  // on its whole disk; absent when the system does not say
    std::int64_t sizeBytes = 0;
    std::optional<std::string> volumeKind;  // the file-system type the system reports: "exfat", "vfat", …
    std::optional<std::filesystem::path> mountPoint;  // absent when not mounted
    bool isWritable = false;
    bool operator==(const PartitionVolumeInfo&) const = default;
};

struct VolumeMountAttempt {
    struct Failed {
        std::string detail;
        bool operator==(const Failed&) const = default;
    };
    struct Mounted {
        bool operator==(const Mounted&) const = default;
    };
    using Case = std::variant<Failed, Mounted>;

    Case value;
    bool operator==(const VolumeMountAttempt&) const = default;
};

class VolumeMountProbe {
public:
    virtual ~VolumeMountProbe() = default;
    // The partitions of a whole disk; empty or shorter when something cannot be read.
    [[nodiscard]] virtual std::vector<PartitionVolumeInfo> partitions(const std::string& wholeDiskBSDName) = 0;
    [[nodiscard]] virtual VolumeMountAttempt mount(const std::string& partitionBSDName) = 0;
    // The device node ("/dev/sdb1") of the file system that holds the folder; absent when
    // the folder cannot be examined.
    [[nodiscard]] virtual std::optional<std::string> deviceNode(const std::filesystem::path& mountedAt) = 0;
};

void PrintTo(const PartitionVolumeInfo& info, std::ostream* os);
void PrintTo(const VolumeMountAttempt& attempt, std::ostream* os);

}  // namespace marlowick
