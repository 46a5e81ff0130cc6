#include "Install/VentoyInstallValidation.hpp"

#include "Detect/VentoyDriveDetector.hpp"

namespace marlowick::VentoyInstallValidation {
namespace {

using std::to_string;

// Sizes below are divided by the sector size; a size that is not positive would divide
// by zero or make every multiple test meaningless, so it is refused as a reason instead.
std::optional<std::string> unusableSectorSize(int sectorSize) {
    if (sectorSize >= 1) return std::nullopt;
    return "sector size " + to_string(sectorSize) + " is not a usable sector size";
}

}  // namespace

std::optional<std::string> validatePartitionStyle(PartitionStyle style, std::int64_t sectorSize) {
    if (style != PartitionStyle::gpt || sectorSize == VentoyDriveDetector::gptSectorSize) return std::nullopt;
    return "GPT layout currently supports 512-byte sectors only, device is " + to_string(sectorSize);
}

std::optional<std::string> validateAssets(std::string_view assetVersion,
                                          const std::map<VentoyAsset, std::int64_t>& assetSizeBytes,
                                          const VentoyReleaseManifest& manifest, int sectorSize) {
    if (auto refusal = unusableSectorSize(sectorSize)) return refusal;
    if (assetVersion != manifest.version()) {
        return "asset set is Ventoy " + std::string(assetVersion) + " but manifest is " + manifest.version();
    }
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::string file(outputFileName(asset));
        const std::int64_t expected = manifest.checksum(asset).decompressedSizeBytes();
        const auto measured = assetSizeBytes.find(asset);
        const std::int64_t actual = measured == assetSizeBytes.end() ? 0 : measured->second;
        if (actual != expected) {
            return file + " is " + to_string(actual) + " bytes, expected " + to_string(expected);
        }
        if (expected % sectorSize != 0) {
            return file + " size " + to_string(expected) + " is not a multiple of sector size " + to_string(sectorSize);
        }
    }
    if (manifest.checksum(VentoyAsset::bootImg).decompressedSizeBytes() != sectorSize) {
        return "boot.img must be exactly one " + to_string(sectorSize) + "-byte sector";
    }
    return std::nullopt;
}

std::optional<std::string> validateLayoutFit(const VentoyLayout& layout, std::int64_t coreSizeBytes,
                                             std::int64_t ventoyDiskSizeBytes, int sectorSize,
                                             const std::function<bool()>& coreTailAllZero) {
    if (auto refusal = unusableSectorSize(sectorSize)) return refusal;
    const std::int64_t space = layout.coreSectorCapacity();
    const std::int64_t coreSectors = coreSizeBytes / sectorSize;
    // The part of core.img past the space is dropped when it holds nothing but zeros.
    if (space < coreSectors && !coreTailAllZero()) {
        return "core.img is " + to_string(coreSectors) + " sectors, only " + to_string(space) +
               " fit before partition 1, and the dropped tail is not empty";
    }
    const std::int64_t ventoySectors = ventoyDiskSizeBytes / sectorSize;
    if (ventoySectors > layout.part2SectorCount) {
        return "ventoy.disk.img is " + to_string(ventoySectors) + " sectors, partition 2 holds " +
               to_string(layout.part2SectorCount);
    }
    return std::nullopt;
}

}  // namespace marlowick::VentoyInstallValidation
