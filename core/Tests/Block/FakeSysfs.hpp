#pragma once
// A sysfs tree of block devices in a test's own folder, shaped as the kernel shows it:
// class/block/<disk>/{dev,size,queue/logical_block_size}, each partition a subfolder of
// its disk holding "partition" and "dev" (and reachable as class/block/<partition> too),
// stacked devices listed under holders/.

#include <cstdint>
#include <filesystem>
#include <string>

namespace marlowick::test {

class FakeSysfs {
public:
    explicit FakeSysfs(std::filesystem::path root) : rootPath(std::move(root)) {}

    [[nodiscard]] std::string root() const { return rootPath.string(); }
    // `size512` counts 512-byte units, as the kernel's "size" attribute does.
    void addDisk(const std::string& name, const std::string& dev, std::int64_t size512 = 2048,
                 int logicalBlockSize = 512) const;
    void addPartition(const std::string& disk, const std::string& name, const std::string& dev) const;
    // `device` is "sdb" for a disk or "sdb/sdb1" for a partition.
    void addHolder(const std::string& device, const std::string& holder) const;
    // Replaces one attribute, such as "sdb/size".
    void set(const std::string& attribute, const std::string& value) const;

private:
    [[nodiscard]] std::filesystem::path blockClass() const { return rootPath / "class" / "block"; }
    std::filesystem::path rootPath;
};

}  // namespace marlowick::test
