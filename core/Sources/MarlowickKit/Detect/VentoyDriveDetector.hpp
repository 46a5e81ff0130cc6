#pragma once
// Decides whether a drive carries the Ventoy layout exactly as this system writes it:
// partition 1 from sector 2048 up to the start of the 65536-sector EFI partition 2,
// with the right types, on MBR or (512-byte sectors only) GPT. detect() reads through
// BlockDevice and never writes, flushes or closes it; the classifications are pure
// functions of the bytes they are given, and any bytes at all give a status.

#include <cstdint>
#include <span>

#include "Block/BlockDevice.hpp"
#include "Detect/VentoyDetectionResult.hpp"
#include "Detect/VentoyDriveStatus.hpp"

namespace marlowick::VentoyDriveDetector {

inline constexpr std::int64_t ventoyPart2Sectors = 65536;
inline constexpr std::int64_t mbrLimitSectors = 4294967296;  // 2^32
inline constexpr int gptSectorSize = 512;

// Sector 0, then for a GPT protective MBR on 512-byte sectors LBA 1 and LBAs 2-33. A
// failed read is returned as readFailed with the block layer's error.
[[nodiscard]] VentoyDetectionResult detect(BlockDevice& device);

// The MBR classification of an already-read sector 0.
[[nodiscard]] VentoyDriveStatus classify(std::span<const std::uint8_t> mbrSector, std::int64_t diskSectorCount,
                                         int sectorSize);

// The GPT classification of an already-read LBA 1 and entry array. The header's CRC and
// fields are not consulted: partition entries 1 and 2 and the disk size decide.
[[nodiscard]] VentoyDriveStatus classifyGpt(std::span<const std::uint8_t> primaryHeaderSector,
                                            std::span<const std::uint8_t> entryArray, std::int64_t diskSectorCount,
                                            int sectorSize);

// A sector 0 that parses, carries 55 AA and has type 0xEE in slot 1.
[[nodiscard]] bool isGptProtectiveMbr(std::span<const std::uint8_t> sector);

}  // namespace marlowick::VentoyDriveDetector
