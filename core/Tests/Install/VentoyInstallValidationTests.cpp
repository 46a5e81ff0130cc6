#include "Install/VentoyInstallValidation.hpp"

#include <gtest/gtest.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Checksum = VentoyReleaseManifest::AssetChecksum;

// A manifest whose boot files decompress to the given sizes.
VentoyReleaseManifest manifestWithSizes(std::int64_t boot, std::int64_t core, std::int64_t disk) {
    const std::string digest(64, 'a');
    std::map<VentoyAsset, Checksum> assets;
    assets.emplace(VentoyAsset::bootImg, Checksum("v/boot/boot.img", digest, 1, digest, boot));
    assets.emplace(VentoyAsset::coreImg, Checksum("v/boot/core.img.xz", digest, 1, digest, core));
    assets.emplace(VentoyAsset::ventoyDiskImg, Checksum("v/ventoy/ventoy.disk.img.xz", digest, 1, digest, disk));
    return VentoyReleaseManifest("1.1.17", "v.tar.gz", digest, 1, std::move(assets), 1, "https://example.org");
}

using Sizes = std::map<VentoyAsset, std::int64_t>;

struct AssetsCase {
    const char* name;
    std::string assetVersion;
    Sizes measured;
    std::int64_t manifestBoot, manifestCore, manifestDisk;
    int sectorSize;
    std::optional<std::string> refusal;
};
void PrintTo(const AssetsCase& c, std::ostream* os) { *os << c.name; }

const Sizes realSizes{{VentoyAsset::bootImg, 512}, {VentoyAsset::coreImg, 1048064},
                      {VentoyAsset::ventoyDiskImg, 33554432}};

const AssetsCase assetsCases[] = {
    {"matchingRelease", "1.1.17", realSizes, 512, 1048064, 33554432, 512, std::nullopt},
    {"versionBeforeAnySize", "1.1.16", {}, 512, 1048064, 33554432, 4096,
     "asset set is Ventoy 1.1.16 but manifest is 1.1.17"},
    {"versionComparedExactly", "1.1.17 ", realSizes, 512, 1048064, 33554432, 512,
     "asset set is Ventoy 1.1.17  but manifest is 1.1.17"},
    {"missingFileCountsAsZero", "1.1.17",
     {{VentoyAsset::bootImg, 512}, {VentoyAsset::ventoyDiskImg, 33554432}}, 512, 1048064, 33554432, 512,
     "core.img is 0 bytes, expected 1048064"},
    {"bootImgCheckedFirst", "1.1.17", {{VentoyAsset::bootImg, 440}}, 512, 1048064, 33554432, 512,
     "boot.img is 440 bytes, expected 512"},
    {"ventoyDiskOneByteShort", "1.1.17",
     {{VentoyAsset::bootImg, 512}, {VentoyAsset::coreImg, 1048064}, {VentoyAsset::ventoyDiskImg, 33554431}}, 512,
     1048064, 33554432, 512, "ventoy.disk.img is 33554431 bytes, expected 33554432"},
    // boot.img of one 512-byte sector on a 4096-byte-sector drive fails as a partial sector.
    {"bootImgPartialSectorOn4K", "1.1.17", realSizes, 512, 1048064, 33554432, 4096,
     "boot.img size 512 is not a multiple of sector size 4096"},
    {"partialSectorOfCore", "1.1.17",
     {{VentoyAsset::bootImg, 512}, {VentoyAsset::coreImg, 1000}, {VentoyAsset::ventoyDiskImg, 33554432}}, 512, 1000,
     33554432, 512, "core.img size 1000 is not a multiple of sector size 512"},
    // All three files pass their size checks before boot.img's one-sector rule is looked at.
    {"oneSectorRuleAfterEverySize", "1.1.17",
     {{VentoyAsset::bootImg, 1024}, {VentoyAsset::coreImg, 1048064}, {VentoyAsset::ventoyDiskImg, 33554432}}, 1024,
     1048064, 33554432, 512, "boot.img must be exactly one 512-byte sector"},
    {"oneSectorOf4K", "1.1.17",
     {{VentoyAsset::bootImg, 4096}, {VentoyAsset::coreImg, 1044480}, {VentoyAsset::ventoyDiskImg, 33554432}}, 4096,
     1044480, 33554432, 4096, std::nullopt},
    {"noSectorSize", "1.1.17", realSizes, 512, 1048064, 33554432, 0, "sector size 0 is not a usable sector size"},
    {"negativeSectorSize", "1.1.17", realSizes, 512, 1048064, 33554432, -512,
     "sector size -512 is not a usable sector size"},
};

class VentoyInstallValidationAssets : public ::testing::TestWithParam<AssetsCase> {};

TEST_P(VentoyInstallValidationAssets, ReturnsTheFirstRefusal) {
    const AssetsCase& c = GetParam();
    const VentoyReleaseManifest manifest = manifestWithSizes(c.manifestBoot, c.manifestCore, c.manifestDisk);
    EXPECT_EQ(VentoyInstallValidation::validateAssets(c.assetVersion, c.measured, manifest, c.sectorSize), c.refusal);
}

INSTANTIATE_TEST_SUITE_P(Validation, VentoyInstallValidationAssets, ::testing::ValuesIn(assetsCases),
                         test::CaseName{});

TEST(VentoyInstallValidation, PinnedReleaseSizesPassOn512ByteSectors) {
    const VentoyReleaseManifest& pinned = VentoyReleaseManifest::pinned();
    Sizes sizes;
    for (const VentoyAsset asset : allVentoyAssets) sizes[asset] = pinned.checksum(asset).decompressedSizeBytes();
    EXPECT_EQ(VentoyInstallValidation::validateAssets(pinned.version(), sizes, pinned, 512), std::nullopt);
}

VentoyLayout mbrLayout() {
    // 2047 sectors in front of partition 1, partition 2 of 65536.
    return VentoyLayout{1000000, 512, 2048, 932352, 934400, 65536, PartitionStyle::mbr, VentoyLayout::mbrCoreStart};
}

struct FitCase {
    const char* name;
    VentoyLayout layout;
    std::int64_t coreBytes;
    std::int64_t ventoyDiskBytes;
    int sectorSize;
    bool tailAllZero;
    int expectedTailQuestions;
    std::optional<std::string> refusal;
};
void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

VentoyLayout gptLayout() {
    VentoyLayout layout = mbrLayout();
    layout.partitionStyle = PartitionStyle::gpt;
    layout.coreStartSector = VentoyLayout::gptCoreStart;  // 2014 sectors in front of partition 1
    return layout;
}

VentoyLayout smallPart2() {
    VentoyLayout layout = mbrLayout();
    layout.part2SectorCount = 65535;
    return layout;
}

const FitCase fitCases[] = {
    {"coreFitsExactly", mbrLayout(), 2047 * 512, 33554432, 512, false, 0, std::nullopt},
    {"coreOneSectorTooManyWithDataInTail", mbrLayout(), 2048 * 512, 33554432, 512, false, 1,
     "core.img is 2048 sectors, only 2047 fit before partition 1, and the dropped tail is not empty"},
    {"gptCoreTooBigWithDataInTail", gptLayout(), 2047 * 512, 33554432, 512, false, 1,
     "core.img is 2047 sectors, only 2014 fit before partition 1, and the dropped tail is not empty"},
    // The zero tail is dropped; the ventoy.disk.img check still runs afterwards.
    {"zeroTailDroppedThenDiskChecked", gptLayout(), 2047 * 512, 33554432 + 512, 512, true, 1,
     "ventoy.disk.img is 65537 sectors, partition 2 holds 65536"},
    {"zeroTailDroppedAndDiskFits", gptLayout(), 2047 * 512, 33554432, 512, true, 1, std::nullopt},
    {"diskFitsExactly", smallPart2(), 0, 65535 * 512, 512, false, 0, std::nullopt},
    {"diskOneSectorTooMany", smallPart2(), 0, 33554432, 512, false, 0,
     "ventoy.disk.img is 65536 sectors, partition 2 holds 65535"},
    {"noSectorSize", mbrLayout(), 2047 * 512, 33554432, 0, false, 0, "sector size 0 is not a usable sector size"},
};

class VentoyInstallValidationLayoutFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(VentoyInstallValidationLayoutFit, AsksAboutTheTailOnlyWhenCoreOverflows) {
    const FitCase& c = GetParam();
    int questions = 0;
    const auto tailAllZero = [&] {
        ++questions;
        return c.tailAllZero;
    };
    EXPECT_EQ(VentoyInstallValidation::validateLayoutFit(c.layout, c.coreBytes, c.ventoyDiskBytes, c.sectorSize,
                                                         tailAllZero),
              c.refusal);
    EXPECT_EQ(questions, c.expectedTailQuestions);
}

INSTANTIATE_TEST_SUITE_P(Validation, VentoyInstallValidationLayoutFit, ::testing::ValuesIn(fitCases),
                         test::CaseName{});

TEST(VentoyInstallValidation, GptIsWrittenOnlyOn512ByteSectors) {
    using VentoyInstallValidation::validatePartitionStyle;
    EXPECT_EQ(validatePartitionStyle(PartitionStyle::gpt, 512), std::nullopt);
    EXPECT_EQ(validatePartitionStyle(PartitionStyle::mbr, 4096), std::nullopt);
    EXPECT_EQ(validatePartitionStyle(PartitionStyle::gpt, 4096),
              "GPT layout currently supports 512-byte sectors only, device is 4096");
}

}  // namespace
}  // namespace marlowick
