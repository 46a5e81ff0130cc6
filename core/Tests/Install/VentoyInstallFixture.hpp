#pragma once
// Boot files of a made-up release, built in a temporary folder for the installer tests:
// a one-sector boot.img, a core.img whose last sectors are zero, and a 32 MiB FAT
// image for ventoy.disk.img (made by mkfs.fat, the version marker copied in with
// mcopy), with a manifest whose digests and sizes match them. Also the checks that a
// drive carries the Ventoy layout, judged by outside tools and our own readers.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Assets/VentoyAssetSet.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Block/BlockDevice.hpp"
#include "Exfat/DefaultExfatFormatter.hpp"
#include "Fat32/DefaultFat32Formatter.hpp"
#include "Install/VentoyInstaller.hpp"
#include "Layout/DriveFilesystem.hpp"
#include "Layout/VentoyLayout.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {

inline constexpr const char* fixtureVersion = "1.1.17";
// core.img: 2047 sectors, of which the first 1200 carry data and the rest are zero, so
// that GPT's shorter gap (2014 sectors) cuts only zeros.
inline constexpr std::int64_t fixtureCoreSectors = 2047;
inline constexpr std::int64_t fixtureCoreDataSectors = 1200;

struct VentoyFixture {
    TempDir dir;
    VentoyAssetSet assets;
    std::vector<std::uint8_t> bootImg;
    std::vector<std::uint8_t> coreImg;
    std::vector<std::uint8_t> ventoyDiskImg;

    // nullptr, with the reason to skip, when mkfs.fat or mcopy is missing. `version` is
    // the set's version and the one ventoy.disk.img carries.
    static std::unique_ptr<VentoyFixture> make(std::string& skipReason, const std::string& version = fixtureVersion);

    // A manifest of these files' sizes and digests, of the set's version.
    [[nodiscard]] VentoyReleaseManifest manifest() const;
    [[nodiscard]] const std::vector<std::uint8_t>& bytes(VentoyAsset asset) const {
        return asset == VentoyAsset::bootImg ? bootImg : asset == VentoyAsset::coreImg ? coreImg : ventoyDiskImg;
    }
    // Rewrites one cached file (after the manifest was taken, to model a swapped file).
    void replace(VentoyAsset asset, const std::vector<std::uint8_t>& bytes) const;
};

[[nodiscard]] VentoyInstaller defaultInstaller(std::int64_t writeChunkSectors = VentoyInstaller::defaultWriteChunkSectors);

// The report of a completed run; a failure is added (and an empty report returned) for a refusal.
[[nodiscard]] VentoyInstallReport completedReport(const VentoyInstallResult& result);

// Every check of a finished Ventoy drive. `tablePath` is a file or device that sfdisk and
// sgdisk can read (the image file or the loop device); `imagePath` the backing image
// file, from which partition 1 is copied out for fsck.
void expectVentoyDrive(BlockDevice& device, const VentoyLayout& layout, const VentoyFixture& fixture,
                       DriveFilesystem filesystem, const std::filesystem::path& tablePath,
                       const std::filesystem::path& imagePath);

// Little-endian 64-bit value at `offset` of `bytes`.
[[nodiscard]] std::uint64_t readLe64(const std::vector<std::uint8_t>& bytes, std::size_t offset);
// Sectors read from a device, failing the test on a read error.
[[nodiscard]] std::vector<std::uint8_t> readAll(BlockDevice& device, std::int64_t start, std::int64_t count);

}  // namespace marlowick::test
