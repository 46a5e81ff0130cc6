#pragma once
// What the outside tools must say about a drive the formatter wiped to one exFAT volume,
// shared by the sparse-image and the loop-device tests. Each check runs on a path (an
// image file or a block device) and records its findings as gtest failures.

#include <cstdint>
#include <filesystem>
#include <string>

#include "Block/BlockDevice.hpp"
#include "Layout/PartitionStyle.hpp"

namespace marlowick::test {

constexpr std::int32_t checkedSignature = -0x3501'4502;  // 0xCAFEBAFE

// Formats `device` with the real exFAT formatter and expects full success.
void formatDrive(BlockDevice& device, PartitionStyle style);

// sfdisk -d shows the one partition; for GPT, sgdisk -v finds no problems.
void expectSinglePartitionTable(const std::string& path, PartitionStyle style, std::int64_t sectorCount,
                                int sectorSize = 512);

// The sectors between the table and the partition (1..2047 for MBR, 34..2047 for GPT)
// read back as zeros.
void expectGapZero(BlockDevice& device, PartitionStyle style);

// The exFAT volume (an image of the partition alone) passes fsck.exfat -n and its
// serial, as blkid shows it, is the disk signature.
void expectCleanVolume(const std::filesystem::path& volume);

// wipefs on the whole drive lists nothing but the MBR ("dos").
void expectOnlyDosSignature(const std::string& path);

}  // namespace marlowick::test
