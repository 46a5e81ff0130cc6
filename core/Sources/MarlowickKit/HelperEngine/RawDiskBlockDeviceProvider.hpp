#pragma once
// Opens the target drive for the engine as a RawDiskBlockDevice, in this order:
//   1. the reference's sector size and count must be at least 1;
//   2. its path must be /dev/<name> of a whole disk the kernel lists, whose node is that
//      disk and whose logical sector size and sector count are the reference's;
//   3. for writing only: every file system of the disk is unmounted;
//   4. the node is opened (exclusively for writing) with the reference's geometry;
//   5. the opened descriptor must still be that disk with that geometry: a node replaced
//      between the checks and the open is closed again and refused.
// The geometry is checked before anything is unmounted, so a stale reference leaves the
// user's volumes mounted. Every refusal is couldNotOpenDevice with a user sentence that
// ends in the technical reason in parentheses.

#include <memory>
#include <cstdint>
#include <string>

#include "Block/DiskUnmounter.hpp"
#include "Block/RawDiskSystemCalls.hpp"
#include "HelperEngine/HelperBlockDeviceProvider.hpp"

namespace marlowick {

class RawDiskBlockDeviceProvider final : public HelperBlockDeviceProvider {
public:
    // Bytes one system call moves at most: a few MiB keeps the per-call cost of a direct
    // transfer small next to the data it moves.
    static constexpr std::int64_t maxTransferBytes = 4LL << 20;
    // Sectors per system call for a sector size: maxTransferBytes' worth, within what a
    // raw device accepts.
    [[nodiscard]] static int maxChunkSectors(std::int64_t sectorSize);

    // The real unmounter, /sys and the real system calls.
    RawDiskBlockDeviceProvider();
    // Null `unmounter` or `calls` mean the real ones.
    RawDiskBlockDeviceProvider(std::shared_ptr<DiskUnmounter> unmounter, std::string sysfsRoot,
                               std::shared_ptr<RawDiskSystemCalls> calls = nullptr);

    [[nodiscard]] HelperDeviceOpenResult open(const HelperDiskRef& disk, BlockAccessMode access) override;

private:
    std::shared_ptr<DiskUnmounter> unmounter;
    std::string sysfsRoot;
    std::shared_ptr<RawDiskSystemCalls> calls;
};

}  // namespace marlowick
