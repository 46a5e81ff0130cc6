#pragma once
// The target check's look-up of a device by kernel name, through a fresh sysfs scan on
// every call: a drive swapped between two commands is seen as it is now.

#include "Block/SystemRoots.hpp"
#include "Block/HelperDeviceProbe.hpp"

namespace marlowick {

class SysfsDeviceProbe final : public HelperDeviceProbe {
public:
    explicit SysfsDeviceProbe(SystemRoots roots = {}) : systemRoots(std::move(roots)) {}
    [[nodiscard]] std::optional<DiscoveredDisk> probe(const std::string& bsdName) override;

private:
    SystemRoots systemRoots;
};

}  // namespace marlowick
