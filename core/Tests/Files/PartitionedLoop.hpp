#pragma once
// A loop device holding an MBR with one partition from sector 2048, formatted as asked
// (exfat, ext4, or nothing), its partitions listed by the kernel. Unmounts whatever is
// still mounted from the partition, then detaches, however the test ends.

#include <memory>
#include <optional>
#include <string>

#include "Support/TestSupport.hpp"

namespace marlowick::test {

class PartitionedLoop {
public:
    static constexpr std::int64_t partitionStartSector = 2048;

    // Nothing, with the reason, without root, tools or a free loop device.
    static std::unique_ptr<PartitionedLoop> create(const std::string& fileSystem, std::int64_t partitionSectors,
                                                   std::string& whyNot);
    ~PartitionedLoop();

    [[nodiscard]] std::string diskName() const { return loop->name(); }
    [[nodiscard]] std::string partitionName() const { return loop->name() + "p1"; }
    [[nodiscard]] std::string partitionNode() const { return "/dev/" + partitionName(); }
    [[nodiscard]] std::int64_t partitionSectors() const { return sectors; }
    [[nodiscard]] const TempDir& folder() const { return dir; }
    // Every mount of the partition, by mount point, detached.
    void unmountAll() const;

private:
    PartitionedLoop() = default;
    TempDir dir;
    std::optional<LoopDevice> loop;
    std::int64_t sectors = 0;
};

}  // namespace marlowick::test
