#pragma once
// Probes with scripted answers for the target checks: the disks that answer to their
// kernel names now, and the disk a file lives on. Both record what they were asked.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Block/HelperDeviceProbe.hpp"

namespace marlowick::test {

class FakeDeviceProbe final : public HelperDeviceProbe {
public:
    FakeDeviceProbe() = default;
    explicit FakeDeviceProbe(std::vector<DiscoveredDisk> attached) {
        for (DiscoveredDisk& disk : attached) disks.emplace(disk.bsdName, std::move(disk));
    }
    [[nodiscard]] std::optional<DiscoveredDisk> probe(const std::string& bsdName) override {
        asked.push_back(bsdName);
        const auto found = disks.find(bsdName);
        if (found == disks.end()) return std::nullopt;
        return found->second;
    }

    std::map<std::string, DiscoveredDisk> disks;
    std::vector<std::string> asked;
};

class FakeSourceVolumeProbe final : public HelperSourceVolumeProbe {
public:
    explicit FakeSourceVolumeProbe(std::optional<std::string> disk) : answer(std::move(disk)) {}
    [[nodiscard]] std::optional<std::string> wholeDiskBSDName(const std::string& filePath) override {
        asked.push_back(filePath);
        return answer;
    }

    std::optional<std::string> answer;
    std::vector<std::string> asked;
};

// A removable USB stick of 32 GB, named sdb, with untrimmed texts as sysfs gives them.
[[nodiscard]] inline DiscoveredDisk usbStick(std::string bsdName = "sdb") {
    DiscoveredDisk disk;
    disk.bsdName = std::move(bsdName);
    disk.name = "Cruzer Blade";
    disk.geometry = BlockGeometry{512, 62521344, 32010928128};
    disk.isWhole = true;
    disk.isRemovable = true;
    disk.isEjectable = true;
    disk.deviceProtocol = "USB";
    disk.vendor = "SanDisk ";
    disk.model = "Cruzer Blade    ";
    disk.revision = "1.00";
    disk.serialNumber = "4C530001231120115142";
    return disk;
}

}  // namespace marlowick::test
