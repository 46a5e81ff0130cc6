#pragma once
// The read-back checks of a plain-drive format: the single-partition MBR, the GPT and
// the fresh exFAT boot sector. Each reads what it needs from the device, and on the
// first problem appends one note and answers false. Never writes.

#include <cstdint>
#include <string>
#include <vector>

#include "Block/BlockDevice.hpp"

namespace marlowick::FormatReadBack {

// Sector 0 holds 55 AA, the disk signature, and one type-0x07 entry from 2048 over
// partitionSectorCount sectors with every further entry empty. The active flag and the
// types of the other entries are not compared.
[[nodiscard]] bool verifyMbr(BlockDevice& block, std::int64_t partitionSectorCount, std::int32_t diskSignature,
                             std::vector<std::string>& notes);

// Protective MBR, primary header, entry array (against the header's CRC), the first two
// entries and the backup header. The backup entry array and the disk GUID are not read.
[[nodiscard]] bool verifyGpt(BlockDevice& block, std::int64_t partitionSectorCount, std::vector<std::string>& notes);

// The boot sector at 2048 names "EXFAT   ", ends in 55 AA and carries the disk
// signature as its volume serial.
[[nodiscard]] bool verifyExfatBootSector(BlockDevice& block, std::int32_t diskSignature,
                                         std::vector<std::string>& notes);

}  // namespace marlowick::FormatReadBack
