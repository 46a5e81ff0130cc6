#include "Block/SysfsDeviceProbe.hpp"

#include "Block/SysfsDiskScanner.hpp"

namespace marlowick {

std::optional<DiscoveredDisk> SysfsDeviceProbe::probe(const std::string& bsdName) {
    return SysfsDiskScanner(systemRoots).disk(bsdName);
}

}  // namespace marlowick
