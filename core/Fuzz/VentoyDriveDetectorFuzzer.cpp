// Any bytes as the first sectors of a drive of any size: detection gives the same answer
// twice, and a drive it takes for a Ventoy drive carries exactly a layout the layout
// calculator gives for that drive (with the reserve partition 2's position implies).
// Input: one byte choosing the sector size, five bytes of sector count, then the sectors.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "Detect/VentoyDriveDetector.hpp"
#include "FuzzBlockDevice.hpp"
#include "Layout/VentoyLayoutCalculator.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marlowick;
    std::span<const std::uint8_t> bytes(data, size);
    const int sectorSize = (fuzz::take(bytes, 1) & 1) != 0 ? 4096 : 512;
    const auto sectorCount = static_cast<std::int64_t>(fuzz::take(bytes, 5)) + 1;
    fuzz::FuzzBlockDevice device(bytes, sectorCount, sectorSize);

    const VentoyDetectionResult first = VentoyDriveDetector::detect(device);
    if (!(VentoyDriveDetector::detect(device) == first)) std::abort();
    const auto* detected = std::get_if<VentoyDetectionResult::Detected>(&first.value);
    if (detected == nullptr) {
        // Only a drive too small for the GPT's first 34 sectors fails a read.
        if (sectorCount >= 34) std::abort();
        return 0;
    }
    const auto* ventoy = std::get_if<VentoyDriveStatus::Ventoy>(&detected->status.value);
    if (ventoy == nullptr) return 0;

    const VentoyLayout& layout = ventoy->layout;
    const std::int64_t tail = layout.partitionStyle == PartitionStyle::gpt ? 33 : 0;
    const std::int64_t reserve = sectorCount - tail - VentoyLayoutCalculator::part2SectorCount - layout.part2StartSector;
    if (reserve < 0) std::abort();
    const auto recalculated =
        VentoyLayoutCalculator::calculate(sectorCount, sectorSize, layout.partitionStyle, reserve, false);
    const auto* success = std::get_if<VentoyLayoutCalculator::Success>(&recalculated);
    if (success == nullptr || !(success->layout == layout)) std::abort();
    return 0;
}
