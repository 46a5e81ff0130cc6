#include "Files/MountedVolumeResolver.hpp"

#include <algorithm>
#include <cctype>
#include <optional>

namespace marlowick::MountedVolumeResolver {
namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The one partition at the layout's data offset with the data partition's size.
std::optional<PartitionVolumeInfo> dataPartition(const std::string& wholeDisk, const VentoyLayout& layout,
                                                 VolumeMountProbe& probe) {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    // A layout whose numbers overflow describes no partition the disk can hold.
    if (__builtin_mul_overflow(layout.part1StartSector, std::int64_t{layout.sectorSize}, &offset) ||
        __builtin_mul_overflow(layout.part1SectorCount, std::int64_t{layout.sectorSize}, &size)) {
        return std::nullopt;
    }
    std::optional<PartitionVolumeInfo> found;
    int matches = 0;
    for (PartitionVolumeInfo& partition : probe.partitions(wholeDisk)) {
        if (!isPartitionName(partition.bsdName, wholeDisk)) continue;
        if (partition.offsetBytes != offset || partition.sizeBytes != size) continue;
        ++matches;
        found = std::move(partition);
    }
    if (matches != 1) return std::nullopt;
    return found;
}

MountedVolumeResolution refused(MountedVolumeRefusal::Case refusal) {
    return {MountedVolumeResolution::Refused{MountedVolumeRefusal{std::move(refusal)}}};
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

bool isPartitionName(std::string_view partitionName, std::string_view wholeDiskName) {
    if (wholeDiskName.empty() || !partitionName.starts_with(wholeDiskName)) return false;
    std::string_view rest = partitionName.substr(wholeDiskName.size());
    if (isDigit(wholeDiskName.back())) {
        if (!rest.starts_with('p')) return false;
        rest.remove_prefix(1);
    }
    return !rest.empty() && std::all_of(rest.begin(), rest.end(), isDigit);
}

MountedVolumeResolution resolve(const HelperDiskRef& disk, const VentoyLayout& layout, HelperDeviceProbe& deviceProbe,
                                VolumeMountProbe& volumeProbe) {
    // Strict for reads as for writes: without the captured fingerprint nothing proves that
    // the volume about to be listed or changed is on the drive the user picked.
    const TargetVerification::Verdict first = TargetVerification::verify(disk, true, deviceProbe);
    if (!first.isVerified()) return refused(MountedVolumeRefusal::Target{first});
    const std::optional<std::string> wholeDisk = TargetVerification::wholeDiskBSDName(disk.rawDevicePath);
    if (!wholeDisk) {
        return refused(MountedVolumeRefusal::Target{
            TargetVerification::Verdict{TargetVerification::Verdict::MalformedDevicePath{disk.rawDevicePath}}});
    }

    std::optional<PartitionVolumeInfo> partition = dataPartition(*wholeDisk, layout, volumeProbe);
    if (!partition) return refused(MountedVolumeRefusal::DataPartitionNotFound{*wholeDisk});
    if (!partition->volumeKind || supportedVolumeKinds.count(lowered(*partition->volumeKind)) == 0) {
        return refused(MountedVolumeRefusal::NotExfat{partition->bsdName, partition->volumeKind});
    }
    // Before any mount: a read-only partition is never mounted on our behalf.
    if (!partition->isWritable) return refused(MountedVolumeRefusal::ReadOnly{partition->bsdName});

    if (!partition->mountPoint) {
        const VolumeMountAttempt attempt = volumeProbe.mount(partition->bsdName);
        if (const auto* failed = std::get_if<VolumeMountAttempt::Failed>(&attempt.value)) {
            return refused(MountedVolumeRefusal::MountFailed{partition->bsdName, failed->detail});
        }
        std::optional<PartitionVolumeInfo> fresh = dataPartition(*wholeDisk, layout, volumeProbe);
        if (!fresh || fresh->bsdName != partition->bsdName) {
            return refused(MountedVolumeRefusal::DataPartitionNotFound{*wholeDisk});
        }
        partition = std::move(fresh);
    }
    if (!partition->mountPoint) return refused(MountedVolumeRefusal::NotMounted{partition->bsdName});

    const std::optional<std::string> node = volumeProbe.deviceNode(*partition->mountPoint);
    if (node != "/dev/" + partition->bsdName) {
        return refused(MountedVolumeRefusal::MountPointMismatch{partition->bsdName, node});
    }
    // Again after the mount: a drive swapped meanwhile must not receive the files.
    const TargetVerification::Verdict second = TargetVerification::verify(disk, true, deviceProbe);
    if (!second.isVerified()) return refused(MountedVolumeRefusal::Target{second});
    return {MountedVolume{*wholeDisk, partition->bsdName, *partition->mountPoint}};
}

}  // namespace marlowick::MountedVolumeResolver
