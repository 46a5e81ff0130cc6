#include "Block/FakeSysfs.hpp"

#include <fstream>

namespace marlowick::test {
namespace {

void write(const std::filesystem::path& file, const std::string& value) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << value << "\n";
}

}  // namespace

void FakeSysfs::addDisk(const std::string& name, const std::string& dev, std::int64_t size512,
                        int logicalBlockSize) const {
    const auto disk = blockClass() / name;
    write(disk / "dev", dev);
    write(disk / "size", std::to_string(size512));
    write(disk / "queue" / "logical_block_size", std::to_string(logicalBlockSize));
    std::filesystem::create_directories(disk / "holders");
}

void FakeSysfs::addPartition(const std::string& disk, const std::string& name, const std::string& dev) const {
    const auto partition = blockClass() / disk / name;
    write(partition / "dev", dev);
    write(partition / "partition", "1");
    std::filesystem::create_directories(partition / "holders");
    std::filesystem::create_directory_symlink(partition, blockClass() / name);
}

void FakeSysfs::addHolder(const std::string& device, const std::string& holder) const {
    write(blockClass() / device / "holders" / holder, "");
}

void FakeSysfs::set(const std::string& attribute, const std::string& value) const {
    write(blockClass() / attribute, value);
}

}  // namespace marlowick::test
