#pragma once
// Where the kernel's views of the system are mounted. Real programs use the defaults;
// tests point them at fixture trees built in a temporary folder.

#include <string>

namespace marlowick {

struct SystemRoots {
    std::string sys = "/sys";
    std::string proc = "/proc";
    std::string dev = "/dev";
    // udev's database of device properties; absent where udev does not run.
    std::string udevData = "/run/udev/data";

    [[nodiscard]] std::string mountInfoPath() const { return proc + "/self/mountinfo"; }
    [[nodiscard]] std::string swapsPath() const { return proc + "/swaps"; }
    bool operator==(const SystemRoots&) const = default;
};

}  // namespace marlowick
