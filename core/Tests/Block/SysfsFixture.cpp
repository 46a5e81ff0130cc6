#include "SysfsFixture.hpp"

#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace marlowick::test {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

std::string numberText(DeviceNumber number) { return std::to_string(number.major) + ":" + std::to_string(number.minor); }

}  // namespace

SysfsFixture::SysfsFixture() {
    fs::create_directories(sys() / "class" / "block");
    fs::create_directories(sys() / "dev" / "block");
    fs::create_directories(folder.path() / "dev");
    rewriteMountInfo();
}

SystemRoots SysfsFixture::roots() const {
    return {sys().string(), (folder.path() / "proc").string(), (folder.path() / "dev").string(),
            (folder.path() / "run" / "udev" / "data").string()};
}

fs::path SysfsFixture::diskFolder(const std::string& name) const {
    return fs::canonical(sys() / "class" / "block" / name);
}

void SysfsFixture::addDisk(const std::string& diskFolderPath, DeviceNumber number, std::int64_t size, int sectorSize,
                           bool removable, bool rotational) {
    const fs::path disk = sys() / "devices" / diskFolderPath;
    const auto name = disk.filename().string();
    writeText(disk / "dev", numberText(number) + "\n");
    writeText(disk / "size", std::to_string(size) + "\n");
    writeText(disk / "removable", removable ? "1\n" : "0\n");
    writeText(disk / "queue" / "logical_block_size", std::to_string(sectorSize) + "\n");
    writeText(disk / "queue" / "rotational", rotational ? "1\n" : "0\n");
    fs::create_directories(disk / "holders");
    fs::create_directories(disk / "slaves");
    // …/<device>/block/<disk> for most buses, …/nvme0/nvme0n1 for NVMe; virtual disks have no device.
    const fs::path parent = disk.parent_path();
    const fs::path device = parent.filename() == "block" ? parent.parent_path() : parent;
    if (device.filename() != "virtual") fs::create_directory_symlink(fs::relative(device, disk), disk / "device");
    fs::create_directory_symlink(fs::relative(disk, sys() / "class" / "block"), sys() / "class" / "block" / name);
    fs::create_directory_symlink(fs::relative(disk, sys() / "dev" / "block"), sys() / "dev" / "block" / numberText(number));
}

void SysfsFixture::addSataDisks(const std::vector<std::string>& names) {
    unsigned int minor = 0;
    for (const auto& name : names) {
        const auto target = std::to_string(minor / 16);
        addDisk("pci0000:00/0000:00:17.0/ata1/host0/target0:0:" + target + "/0:0:" + target + ":0/block/" + name,
                {8, minor}, 2097152);
        addPartition(name, name + "1", {8, minor + 1}, 2095104);
        minor += 16;
    }
}

void SysfsFixture::addPartition(const std::string& disk, const std::string& name, DeviceNumber number,
                                std::int64_t size) {
    const fs::path part = diskFolder(disk) / name;
    writeText(part / "dev", numberText(number) + "\n");
    writeText(part / "size", std::to_string(size) + "\n");
    writeText(part / "partition", std::to_string(number.minor) + "\n");
    fs::create_directories(part / "holders");
    fs::create_directory_symlink(fs::relative(part, sys() / "class" / "block"), sys() / "class" / "block" / name);
    fs::create_directory_symlink(fs::relative(part, sys() / "dev" / "block"), sys() / "dev" / "block" / numberText(number));
}

void SysfsFixture::writeDeviceFile(const std::string& relativePath, const std::string& text) {
    writeText(sys() / "devices" / relativePath, text);
}

void SysfsFixture::stack(const std::string& holder, const std::string& slave) {
    const fs::path upper = diskFolder(holder);
    const fs::path lower = diskFolder(slave);
    fs::create_directory_symlink(fs::relative(upper, lower / "holders"), lower / "holders" / holder);
    fs::create_directory_symlink(fs::relative(lower, upper / "slaves"), upper / "slaves" / slave);
}

void SysfsFixture::addMount(const std::string& mountPoint, DeviceNumber number, const std::string& source,
                            const std::string& fsType, const std::string& superOptions) {
    const auto id = std::to_string(30 + mountLines.size());
    mountLines.push_back(id + " 1 " + numberText(number) + " / " + mountPoint + " rw,relatime shared:1 - " + fsType +
                         " " + source + " " + superOptions);
    rewriteMountInfo();
}

void SysfsFixture::addLoopDevice(const std::string& name, DeviceNumber number, const std::string& backingFile) {
    addDisk("virtual/block/" + name, number, 2097152);
    writeDeviceFile("virtual/block/" + name + "/loop/backing_file", backingFile + "\n");
}

void SysfsFixture::addBtrfs(const std::string& uuid, const std::vector<std::string>& devices) {
    const fs::path folder = sys() / "fs" / "btrfs" / uuid / "devices";
    fs::create_directories(folder);
    for (const auto& device : devices) {
        fs::create_directory_symlink(fs::relative(diskFolder(device), folder), folder / device);
    }
}

void SysfsFixture::addSwap(const std::string& path, const std::string& type) {
    // As the kernel writes it: blank, tab, line feed and backslash escaped, the path padded
    // to 40 columns with blanks, a tab after the type.
    std::string escaped;
    for (const char c : path) {
        if (c == ' ') escaped += "\\040";
        else if (c == '\t') escaped += "\\011";
        else if (c == '\n') escaped += "\\012";
        else if (c == '\\') escaped += "\\134";
        else escaped += c;
    }
    escaped += std::string(escaped.size() < 40 ? 40 - escaped.size() : 1, ' ');
    swapLines.push_back(escaped + type + "\t8388604\t\t0\t\t-2");
    rewriteMountInfo();
}

void SysfsFixture::linkDevNode(const std::string& node, const std::string& target) {
    const fs::path link = folder.path() / "dev" / node;
    const fs::path targetFile = (link.parent_path() / target).lexically_normal();
    if (!fs::exists(targetFile)) writeText(targetFile, "");
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

void SysfsFixture::writeUdevData(DeviceNumber number, const std::string& record) {
    writeText(folder.path() / "run" / "udev" / "data" / ("b" + numberText(number)), record);
}

void SysfsFixture::rewriteMountInfo() {
    std::string mounts = "21 1 0:20 / /proc rw,relatime - proc proc rw\n";
    for (const auto& line : mountLines) mounts += line + "\n";
    writeText(folder.path() / "proc" / "self" / "mountinfo", mounts);
    std::string swaps = "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n";
    for (const auto& line : swapLines) swaps += line + "\n";
    writeText(folder.path() / "proc" / "swaps", swaps);
}

DeviceNumber deviceNumberOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return {};
    return {::major(status.st_dev), ::minor(status.st_dev)};
}

std::optional<std::string> wholeDiskByLsblk(const std::filesystem::path& path) {
    if (!hasTool("findmnt") || !hasTool("lsblk")) return std::nullopt;
    auto source = runCommand("findmnt -n -o SOURCE -T '" + path.string() + "'").output;
    source = source.substr(0, source.find_first_of("[\n"));  // btrfs adds "[/subvolume]"
    if (!source.starts_with("/dev/")) return std::nullopt;
    std::istringstream lines(runCommand("lsblk -s -n -r -o NAME,TYPE '" + source + "'").output);
    std::string name;
    std::string type;
    while (lines >> name >> type) {
        if (type == "disk" || type == "loop") return name;
    }
    return std::nullopt;
}

}  // namespace marlowick::test
