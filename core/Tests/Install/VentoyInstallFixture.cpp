#include "Install/VentoyInstallFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "Bytes/Sha256.hpp"
#include "Detect/VentoyDriveDetector.hpp"
#include "Detect/VentoyVersionReader.hpp"
#include "Install/CoreImgBlocklist.hpp"
#include "Support/SparseFileBlockDevice.hpp"

namespace marlowick::test {
namespace {

const std::string tools = "PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1 ";

std::vector<std::uint8_t> noise(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

std::string withoutSpaces(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

std::unique_ptr<VentoyFixture> VentoyFixture::make(std::string& skipReason, const std::string& version) {
    for (const char* tool : {"mkfs.fat", "mcopy"}) {
        if (!hasTool(tool)) {
            skipReason = std::string("needs ") + tool + " installed";
            return nullptr;
        }
    }
    auto fixture = std::make_unique<VentoyFixture>();
    fixture->bootImg = noise(512, 1);
    fixture->coreImg = noise(static_cast<std::size_t>(fixtureCoreSectors * 512), 2);
    std::fill(fixture->coreImg.begin() + fixtureCoreDataSectors * 512, fixture->coreImg.end(), 0);

    const auto efi = fixture->dir.file("ventoy.disk.img");
    const auto made = runCommand(tools + "mkfs.fat -C " + quoted(efi) + " 32768");
    if (made.exitCode != 0) ADD_FAILURE() << made.output;
    const auto marker = fixture->dir.file("ventoy.ver");
    const std::string text = "VENTOY_VERSION=" + version + "\n";
    writeFile(marker, std::vector<std::uint8_t>(text.begin(), text.end()));
    const auto copied = runCommand(tools + "mcopy -i " + quoted(efi) + " " + quoted(marker) + " ::/");
    if (copied.exitCode != 0) ADD_FAILURE() << copied.output;
    fixture->ventoyDiskImg = readFile(efi);

    fixture->assets.version = version;
    fixture->assets.files = {{VentoyAsset::bootImg, fixture->dir.file("boot.img")},
                             {VentoyAsset::coreImg, fixture->dir.file("core.img")},
                             {VentoyAsset::ventoyDiskImg, efi}};
    writeFile(fixture->assets.url(VentoyAsset::bootImg), fixture->bootImg);
    writeFile(fixture->assets.url(VentoyAsset::coreImg), fixture->coreImg);
    return fixture;
}

VentoyReleaseManifest VentoyFixture::manifest() const {
    const std::string anyDigest(64, 'a');
    std::map<VentoyAsset, VentoyReleaseManifest::AssetChecksum> checksums;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::vector<std::uint8_t> bytes = readFile(assets.url(asset));
        checksums.emplace(asset, VentoyReleaseManifest::AssetChecksum{std::string(memberPathSuffix(asset)), anyDigest, 1,
                                                                      Sha256::hex(bytes),
                                                                      static_cast<std::int64_t>(bytes.size())});
    }
    return VentoyReleaseManifest(assets.version, "release.tar.gz", anyDigest, 1, std::move(checksums), 1,
                                 "https://example.invalid/releases");
}

void VentoyFixture::replace(VentoyAsset asset, const std::vector<std::uint8_t>& bytes) const {
    writeFile(assets.url(asset), bytes);
}

VentoyInstaller defaultInstaller(std::int64_t writeChunkSectors) {
    return VentoyInstaller(std::make_shared<DefaultExfatFormatter>(),
                           std::make_shared<DefaultFat32Formatter>(DefaultFat32Formatter::defaultWriteChunkSectors),
                           writeChunkSectors);
}

VentoyInstallReport completedReport(const VentoyInstallResult& result) {
    if (const auto* completed = std::get_if<VentoyInstallResult::Completed>(&result.value)) return completed->report;
    ADD_FAILURE() << "refused: " << render(result);
    return {};
}

std::uint64_t readLe64(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < 8; ++index) value |= std::uint64_t{bytes.at(offset + index)} << (8 * index);
    return value;
}

std::vector<std::uint8_t> readAll(BlockDevice& device, std::int64_t start, std::int64_t count) {
    BlockReadResult read = device.readSectors(start, count);
    if (const auto* error = std::get_if<BlockError>(&read)) {
        ADD_FAILURE() << "read at " << start << ": " << render(*error);
        return {};
    }
    return std::get<BlockReadSuccess>(read).data;
}

void expectVentoyDrive(BlockDevice& device, const VentoyLayout& layout, const VentoyFixture& fixture,
                       DriveFilesystem filesystem, const std::filesystem::path& tablePath,
                       const std::filesystem::path& imagePath) {
    const bool gpt = layout.partitionStyle == PartitionStyle::gpt;
    const std::string part1 = "start=" + std::to_string(layout.part1StartSector) +
                              ",size=" + std::to_string(layout.part1SectorCount) + ",type=";
    const std::string part2 = "start=" + std::to_string(layout.part2StartSector) + ",size=65536,type=";
    const auto dump = runCommand(tools + "sfdisk -d " + quoted(tablePath));
    const std::string table = withoutSpaces(dump.output);
    EXPECT_EQ(dump.exitCode, 0) << dump.output;
    if (gpt) {
        EXPECT_NE(table.find("label:gpt"), std::string::npos) << dump.output;
        EXPECT_NE(table.find(part1 + "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"), std::string::npos) << dump.output;
        EXPECT_NE(table.find(part2 + "C12A7328-F81F-11D2-BA4B-00A0C93EC93B"), std::string::npos) << dump.output;
        EXPECT_NE(table.find("name=\"VTOYEFI\""), std::string::npos) << dump.output;
        const auto verified = runCommand(tools + "sgdisk -v " + quoted(tablePath));
        EXPECT_EQ(verified.exitCode, 0) << verified.output;
        EXPECT_NE(verified.output.find("No problems found"), std::string::npos) << verified.output;
    } else {
        EXPECT_NE(table.find("label:dos"), std::string::npos) << dump.output;
        EXPECT_NE(table.find(part1 + (filesystem == DriveFilesystem::fat32 ? "c" : "7") + ",bootable"), std::string::npos)
            << dump.output;
        EXPECT_NE(table.find(part2 + "ef\n"), std::string::npos) << dump.output;
    }

    // Sector 0 points at core.img; core.img's blocklist points at its own second sector.
    const std::vector<std::uint8_t> sector0 = readAll(device, 0, 1);
    ASSERT_EQ(sector0.size(), 512U);
    EXPECT_EQ(readLe64(sector0, 92), static_cast<std::uint64_t>(layout.coreStartSector));
    const std::int64_t coreSectors = std::min(fixtureCoreSectors, layout.coreSectorCapacity());
    std::vector<std::uint8_t> core = readAll(device, layout.coreStartSector, coreSectors);
    ASSERT_EQ(core.size(), static_cast<std::size_t>(coreSectors * 512));
    EXPECT_EQ(CoreImgBlocklist::tailPointer(core), layout.coreStartSector + 1);
    EXPECT_EQ(readLe64(core, 500), static_cast<std::uint64_t>(layout.coreStartSector + 1));
    std::copy_n(fixture.coreImg.begin() + 500, 8, core.begin() + 500);
    EXPECT_TRUE(std::equal(core.begin(), core.end(), fixture.coreImg.begin())) << "core.img differs on the drive";
    EXPECT_EQ(readAll(device, layout.part2StartSector, 65536), fixture.ventoyDiskImg) << "ventoy.disk.img differs";

    const auto slice = imagePath.parent_path() / (imagePath.filename().string() + ".part1");
    copySparseSlice(imagePath, layout.part1StartSector * 512, layout.part1SectorCount * 512, slice);
    const std::string fsck = filesystem == DriveFilesystem::fat32 ? "fsck.fat -n " : "fsck.exfat -n ";
    const auto checked = runCommand(tools + fsck + quoted(slice));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    std::filesystem::remove(slice);

    EXPECT_EQ(VentoyDriveDetector::detect(device),
              (VentoyDetectionResult{VentoyDetectionResult::Detected{VentoyDriveStatus{VentoyDriveStatus::Ventoy{layout}}}}));
    EXPECT_EQ(VentoyVersionReader::read(device, layout),
              (VentoyVersionResult{VentoyVersionResult::Found{fixture.assets.version}}));
}

}  // namespace marlowick::test
