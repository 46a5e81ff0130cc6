#pragma once
// A prepared drive's usable data volume, and every reason why it cannot be used. Plain values.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "HelperWire/TargetVerification.hpp"

namespace marlowick {

struct MountedVolume {
    std::string wholeDiskBSDName;   // sdb
    std::string partitionBSDName;   // sdb1
    std::filesystem::path mountPoint;
    bool operator==(const MountedVolume&) const = default;
};

struct MountedVolumeRefusal {
    struct Target {
        TargetVerification::Verdict verdict;
        bool operator==(const Target&) const = default;
    };
    // No single partition matches the layout's data partition.
    struct DataPartitionNotFound {
        std::string wholeDiskBSDName;
        bool operator==(const DataPartitionNotFound&) const = default;
    };
    // Neither exFAT nor FAT, or unknown.
    struct NotExfat {
        std::string partitionBSDName;
        std::optional<std::string> volumeKind;
        bool operator==(const NotExfat&) const = default;
    };
    struct ReadOnly {
        std::string partitionBSDName;
        bool operator==(const ReadOnly&) const = default;
    };
    // detail: the volume probe's failure text.
    struct MountFailed {
        std::string partitionBSDName;
        std::string detail;
        bool operator==(const MountFailed&) const = default;
    };
    struct NotMounted {
        std::string partitionBSDName;
        bool operator==(const NotMounted&) const = default;
    };
    // The mount point is served by another device, or by none.
    struct MountPointMismatch {
        std::string partitionBSDName;
        std::optional<std::string> observedDeviceNode;
        bool operator==(const MountPointMismatch&) const = default;
    };
    using Case = std::variant<Target, DataPartitionNotFound, NotExfat, ReadOnly, MountFailed, NotMounted,
                              MountPointMismatch>;

    Case value;
    bool operator==(const MountedVolumeRefusal&) const = default;
};

struct MountedVolumeResolution {
    struct Refused {
        MountedVolumeRefusal refusal;
        bool operator==(const Refused&) const = default;
    };
    using Case = std::variant<MountedVolume, Refused>;

    Case value;
    bool operator==(const MountedVolumeResolution&) const = default;
};

// The plain text form diagnostics carry: the case name, then each payload as "label: value",
// texts quoted, an absent optional as nil and a present one as Optional("…"):
//   readOnly(partitionBSDName: "sdb1")
//   mountPointMismatch(partitionBSDName: "sdb1", observedDeviceNode: nil)
[[nodiscard]] std::string render(const MountedVolumeRefusal& refusal);
void PrintTo(const MountedVolumeRefusal& refusal, std::ostream* os);
void PrintTo(const MountedVolume& volume, std::ostream* os);
void PrintTo(const MountedVolumeResolution& resolution, std::ostream* os);

}  // namespace marlowick
