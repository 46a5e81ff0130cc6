#pragma once
// The few attributes of a block device the kernel shows under <sysfs>/class/block/<name>:
// its device number, whether it is a partition, its partitions, its holders and its size.
// Reads files only; every missing or malformed attribute is an absent value.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace marlowick::SysfsBlockAttributes {

inline constexpr const char* defaultRoot = "/sys";

struct DeviceNumber {
    unsigned int major = 0;
    unsigned int minor = 0;
    bool operator==(const DeviceNumber&) const = default;
};
// "8:17"
[[nodiscard]] std::string text(const DeviceNumber& number);

// True for a single path component such as "sdb" or "nvme0n1": no slash, not "." or "..".
[[nodiscard]] bool isKernelName(const std::string& name);

// <sysfsRoot>/class/block/<kernelName>
[[nodiscard]] std::filesystem::path deviceDirectory(const std::string& sysfsRoot, const std::string& kernelName);

// The "dev" attribute ("8:17").
[[nodiscard]] std::optional<DeviceNumber> deviceNumber(const std::filesystem::path& deviceDirectory);
// A decimal attribute such as "size" or "queue/logical_block_size".
[[nodiscard]] std::optional<std::int64_t> number(const std::filesystem::path& deviceDirectory,
                                                 const std::string& attribute);
// Partitions carry a "partition" attribute; whole disks do not.
[[nodiscard]] bool isPartition(const std::filesystem::path& deviceDirectory);

struct Partition {
    std::string name;
    DeviceNumber number;
};
// The disk's partitions: its subdirectories holding a "partition" attribute, sorted by name.
[[nodiscard]] std::vector<Partition> partitions(const std::filesystem::path& diskDirectory);
// Names of the devices stacked on this one (dm-crypt, LVM, md), sorted.
[[nodiscard]] std::vector<std::string> holders(const std::filesystem::path& deviceDirectory);

}  // namespace marlowick::SysfsBlockAttributes
