#pragma once
// A volume probe with scripted answers: the partitions before and after a mount, the mount's
// answer and the device node of each folder. It records every question it was asked.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Files/VolumeMountProbe.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"

namespace marlowick::test {

class ScriptedVolumeProbe final : public VolumeMountProbe {
public:
    [[nodiscard]] std::vector<PartitionVolumeInfo> partitions(const std::string& wholeDiskBSDName) override {
        partitionsAsked.push_back(wholeDiskBSDName);
        return mounted ? afterMount : beforeMount;
    }
    [[nodiscard]] VolumeMountAttempt mount(const std::string& partitionBSDName) override {
        mountsAsked.push_back(partitionBSDName);
        if (onMount) onMount();
        mounted = std::holds_alternative<VolumeMountAttempt::Mounted>(mountAnswer.value);
        return mountAnswer;
    }
    [[nodiscard]] std::optional<std::string> deviceNode(const std::filesystem::path& mountedAt) override {
        nodesAsked.push_back(mountedAt);
        const auto found = nodes.find(mountedAt);
        if (found == nodes.end()) return std::nullopt;
        return found->second;
    }

    std::vector<PartitionVolumeInfo> beforeMount;
    std::vector<PartitionVolumeInfo> afterMount;
    VolumeMountAttempt mountAnswer{VolumeMountAttempt::Mounted{}};
    std::function<void()> onMount;
    std::map<std::filesystem::path, std::optional<std::string>> nodes;
    bool mounted = false;

    std::vector<std::string> partitionsAsked;
    std::vector<std::string> mountsAsked;
    std::vector<std::filesystem::path> nodesAsked;
};

// The data partition of sampleLayout() on sdb: 1 048 576 bytes in, 512 000 000 bytes long.
[[nodiscard]] inline PartitionVolumeInfo dataPartitionInfo(std::optional<std::filesystem::path> mountPoint,
                                                           std::string name = "sdb1",
                                                           std::optional<std::string> kind = "exfat") {
    return PartitionVolumeInfo{std::move(name), 1048576, 512000000, std::move(kind), std::move(mountPoint), true};
}

// Data partition 1 000 000 sectors of 512 bytes from sector 2048, EFI partition after it.
[[nodiscard]] inline HelperVentoyLayout sampleWireLayout(std::string style = "mbr") {
    return HelperVentoyLayout(62521344, 512, 2048, 1000000, 1002048, 65536, std::move(style), 1);
}

}  // namespace marlowick::test
