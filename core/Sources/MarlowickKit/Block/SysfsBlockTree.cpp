#include "Block/SysfsBlockTree.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace marlowick {
namespace {

namespace fs = std::filesystem;

// Device-mapper and md stacks are a few levels deep; the bound only stops a looping tree.
constexpr int maximumStackDepth = 16;

std::vector<std::string> sortedEntryNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<DeviceNumber> parseDeviceNumber(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    DeviceNumber number;
    const auto majorText = text.substr(0, colon);
    const auto minorText = text.substr(colon + 1);
    const auto [majorEnd, majorError] = std::from_chars(majorText.data(), majorText.data() + majorText.size(), number.major);
    const auto [minorEnd, minorError] = std::from_chars(minorText.data(), minorText.data() + minorText.size(), number.minor);
    if (majorError != std::errc{} || majorEnd != majorText.data() + majorText.size()) return std::nullopt;
    if (minorError != std::errc{} || minorEnd != minorText.data() + minorText.size()) return std::nullopt;
    return number;
}

}  // namespace

bool SysfsBlockTree::isKernelName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

fs::path SysfsBlockTree::entry(const std::string& name) const { return fs::path(root) / "class" / "block" / name; }

std::vector<std::string> SysfsBlockTree::blockNames() const {
    return sortedEntryNames(fs::path(root) / "class" / "block");
}

bool SysfsBlockTree::exists(const std::string& name) const {
    std::error_code error;
    return isKernelName(name) && fs::is_directory(entry(name), error);
}

bool SysfsBlockTree::isPartition(const std::string& name) const {
    std::error_code error;
    return exists(name) && fs::exists(entry(name) / "partition", error);
}

std::optional<fs::path> SysfsBlockTree::devicePath(const std::string& name) const {
    if (!exists(name)) return std::nullopt;
    std::error_code error;
    auto resolved = fs::canonical(entry(name), error);
    if (error) return std::nullopt;
    return resolved;
}

std::optional<std::string> SysfsBlockTree::attribute(const std::string& name, const std::string& file) const {
    if (!exists(name)) return std::nullopt;
    return readAttributeFile(entry(name) / file);
}

std::optional<std::string> SysfsBlockTree::readAttributeFile(const fs::path& file) {
    std::ifstream stream(file);
    if (!stream) return std::nullopt;
    std::ostringstream text;
    text << stream.rdbuf();
    if (stream.bad()) return std::nullopt;
    std::string value = text.str();
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
}

std::optional<long long> SysfsBlockTree::numberAttribute(const std::string& name, const std::string& file) const {
    const auto text = attribute(name, file);
    if (!text) return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc{} || end != text->data() + text->size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> SysfsBlockTree::sizeBytes(const std::string& name) const {
    constexpr std::int64_t unit = 512;
    const auto units = numberAttribute(name, "size");
    if (!units || *units < 0 || *units > std::numeric_limits<std::int64_t>::max() / unit) return std::nullopt;
    return *units * unit;
}

std::optional<std::string> SysfsBlockTree::nameForMount(const MountEntry& mount, const std::string& devRoot) const {
    if (auto name = nameForDeviceNumber({mount.major, mount.minor})) return name;
    return nameForDeviceNode(mount.source, devRoot);
}

std::optional<std::string> SysfsBlockTree::wholeDisk(const std::string& name) const {
    if (!isPartition(name)) return exists(name) ? std::optional(name) : std::nullopt;
    const auto path = devicePath(name);
    if (!path) return std::nullopt;
    auto parent = path->parent_path().filename().string();
    if (!exists(parent)) return std::nullopt;
    return parent;
}

std::vector<std::string> SysfsBlockTree::partitions(const std::string& disk) const {
    if (!exists(disk) || isPartition(disk)) return {};
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& child : sortedEntryNames(entry(disk))) {
        if (fs::exists(entry(disk) / child / "partition", error) && exists(child)) found.push_back(child);
    }
    return found;
}

std::string text(const DeviceNumber& number) {
    return std::to_string(number.major) + ":" + std::to_string(number.minor);
}

std::optional<DeviceNumber> SysfsBlockTree::deviceNumber(const std::string& name) const {
    const auto text = attribute(name, "dev");
    if (!text) return std::nullopt;
    return parseDeviceNumber(*text);
}

std::optional<std::string> SysfsBlockTree::nameForDeviceNumber(DeviceNumber number) const {
    const auto link = fs::path(root) / "dev" / "block" / (std::to_string(number.major) + ":" + std::to_string(number.minor));
    std::error_code error;
    const auto resolved = fs::canonical(link, error);
    if (error) return std::nullopt;
    auto name = resolved.filename().string();
    if (!exists(name)) return std::nullopt;
    return name;
}

std::optional<std::string> SysfsBlockTree::nameForDeviceNode(const std::string& node, const std::string& devRoot) const {
    constexpr std::string_view devPrefix = "/dev/";
    if (!std::string_view(node).starts_with(devPrefix)) return std::nullopt;
    const fs::path located = fs::path(devRoot) / node.substr(devPrefix.size());
    struct stat status {};
    if (::stat(located.c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
        return nameForDeviceNumber({::major(status.st_rdev), ::minor(status.st_rdev)});
    }
    std::error_code error;
    const auto resolved = fs::weakly_canonical(located, error);
    const auto name = (error ? located : resolved).filename().string();
    if (!exists(name)) return std::nullopt;
    return name;
}

std::vector<std::string> SysfsBlockTree::listing(const std::string& name, const std::string& folder) const {
    if (!exists(name)) return {};
    return sortedEntryNames(entry(name) / folder);
}

std::vector<std::string> SysfsBlockTree::holders(const std::string& name) const { return listing(name, "holders"); }

std::vector<std::string> SysfsBlockTree::slaves(const std::string& name) const { return listing(name, "slaves"); }

std::vector<std::string> SysfsBlockTree::physicalDisks(const std::string& name) const {
    std::vector<std::string> disks;
    collectPhysicalDisks(name, 0, disks);
    std::sort(disks.begin(), disks.end());
    disks.erase(std::unique(disks.begin(), disks.end()), disks.end());
    return disks;
}

std::optional<std::string> SysfsBlockTree::loopBackingFile(const std::string& name) const {
    auto file = attribute(name, "loop/backing_file");
    if (!file || file->empty()) return std::nullopt;
    return file;
}

std::vector<std::vector<std::string>> SysfsBlockTree::btrfsDeviceSets() const {
    const fs::path filesystems = fs::path(root) / "fs" / "btrfs";
    std::vector<std::vector<std::string>> sets;
    for (const auto& uuid : sortedEntryNames(filesystems)) {
        auto devices = sortedEntryNames(filesystems / uuid / "devices");
        if (!devices.empty()) sets.push_back(std::move(devices));
    }
    return sets;
}

void SysfsBlockTree::collectPhysicalDisks(const std::string& name, int depth, std::vector<std::string>& disks) const {
    if (depth > maximumStackDepth) return;
    const auto below = slaves(name);
    if (below.empty()) {
        if (auto disk = wholeDisk(name)) disks.push_back(std::move(*disk));
        return;
    }
    for (const auto& slave : below) collectPhysicalDisks(slave, depth + 1, disks);
}

}  // namespace marlowick
