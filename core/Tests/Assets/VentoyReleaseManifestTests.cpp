#include "Assets/VentoyReleaseManifest.hpp"

#include <gtest/gtest.h>

#include "Assets/MarlowickKit.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Checksum = VentoyReleaseManifest::AssetChecksum;

const std::string digestA(64, 'a');

Checksum validChecksum(VentoyAsset asset) {
    return Checksum("ventoy-9.9.9/" + std::string(memberPathSuffix(asset)), digestA, 100, digestA, 200);
}

struct ManifestRejectCase {
    const char* name;
    const char* version;
    std::string archiveSha256;
    std::int64_t archiveSizeBytes;
    std::vector<VentoyAsset> assetKeys;
    std::int64_t minimumAppVersion;
    const char* downloadBaseUrl;
    const char* error;
};

const std::vector<VentoyAsset> allThree{allVentoyAssets.begin(), allVentoyAssets.end()};
const std::string digest63(63, 'b');
// 62 ASCII digits and one "é": 64 bytes of UTF-8 but 63 characters.
const std::string digest63WithAccent = std::string(62, 'c') + "\u00e9";

const ManifestRejectCase manifestRejects[] = {
    {"blankVersionBeforeEverythingElse", " \t\r\n ", digest63, 0, {}, 0, "http://x", "blankVersion"},
    {"unicodeSpacesAreBlank", "\u00a0\u3000\u2028", digestA, 1, allThree, 1, "https://x", "blankVersion"},
    {"emptyVersion", "", digestA, 1, allThree, 1, "https://x", "blankVersion"},
    {"shortArchiveDigestBeforeSize", "1.1.17", digest63, 0, allThree, 1, "https://x",
     "archiveHashWrongLength(count: 63)"},
    {"archiveDigestCountsCharacters", "1.1.17", digest63WithAccent, 1, allThree, 1, "https://x",
     "archiveHashWrongLength(count: 63)"},
    {"longArchiveDigest", "1.1.17", std::string(65, 'a'), 1, allThree, 1, "https://x",
     "archiveHashWrongLength(count: 65)"},
    {"zeroArchiveSize", "1.1.17", digestA, 0, allThree, 1, "https://x", "nonPositiveArchiveSize(0)"},
    {"negativeArchiveSize", "1.1.17", digestA, -20291141, allThree, 0, "https://x",
     "nonPositiveArchiveSize(-20291141)"},
    {"twoAssets", "1.1.17", digestA, 1, {VentoyAsset::bootImg, VentoyAsset::coreImg}, 0, "https://x",
     "incompleteAssetCoverage(expected: 3, found: 2)"},
    {"noAssets", "1.1.17", digestA, 1, {}, 1, "https://x", "incompleteAssetCoverage(expected: 3, found: 0)"},
    {"threeKeysOneUnknown", "1.1.17", digestA, 1,
     {VentoyAsset::bootImg, VentoyAsset::coreImg, static_cast<VentoyAsset>(7)}, 1, "https://x",
     "incompleteAssetCoverage(expected: 3, found: 3)"},
    {"zeroMinimumAppVersion", "1.1.17", digestA, 1, allThree, 0, "http://x", "invalidMinimumAppVersion(0)"},
    {"plainHttp", "1.1.17", digestA, 1, allThree, 1, "http://example.org/dl",
     "downloadBaseUrlNotHttps(\"http://example.org/dl\")"},
    {"capitalScheme", "1.1.17", digestA, 1, allThree, 1, "HTTPS://example.org",
     "downloadBaseUrlNotHttps(\"HTTPS://example.org\")"},
    {"leadingSpaceBeforeScheme", "1.1.17", digestA, 1, allThree, 1, " https://example.org",
     "downloadBaseUrlNotHttps(\" https://example.org\")"},
};

class VentoyReleaseManifestRejects : public ::testing::TestWithParam<ManifestRejectCase> {};

TEST_P(VentoyReleaseManifestRejects, WithTheFirstFailingCheck) {
    const ManifestRejectCase& c = GetParam();
    std::map<VentoyAsset, Checksum> assets;
    for (const VentoyAsset asset : c.assetKeys) assets.emplace(asset, validChecksum(VentoyAsset::bootImg));
    try {
        (void)VentoyReleaseManifest(c.version, "archive.tar.gz", c.archiveSha256, c.archiveSizeBytes,
                                    std::move(assets), c.minimumAppVersion, c.downloadBaseUrl);
        FAIL() << "built a manifest";
    } catch (const VentoyManifestError& e) {
        EXPECT_EQ(render(e.value), c.error);
        EXPECT_STREQ(e.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Manifest, VentoyReleaseManifestRejects, ::testing::ValuesIn(manifestRejects),
                         test::CaseName{});

struct ChecksumRejectCase {
    const char* name;
    std::string compressedSha256;
    std::int64_t compressedSizeBytes;
    std::string decompressedSha256;
    std::int64_t decompressedSizeBytes;
    const char* error;
};

const ChecksumRejectCase checksumRejects[] = {
    {"bothDigestsWrongReportsCompressed", digest63, 1, "", 1, "compressedHashWrongLength(count: 63)"},
    {"emptyCompressedDigest", "", 0, digestA, 0, "compressedHashWrongLength(count: 0)"},
    {"decompressedDigestTooLong", digestA, 0, std::string(65, 'f'), 0, "decompressedHashWrongLength(count: 65)"},
    {"bothSizesZeroReportsCompressed", digestA, 0, digestA, 0, "nonPositiveCompressedSize(0)"},
    {"negativeDecompressedSize", digestA, 512, digestA, -5, "nonPositiveDecompressedSize(-5)"},
};

class AssetChecksumRejects : public ::testing::TestWithParam<ChecksumRejectCase> {};

TEST_P(AssetChecksumRejects, WithTheFirstFailingCheck) {
    const ChecksumRejectCase& c = GetParam();
    try {
        (void)Checksum("ventoy-1.1.17/boot/boot.img", c.compressedSha256, c.compressedSizeBytes,
                       c.decompressedSha256, c.decompressedSizeBytes);
        FAIL() << "built a checksum record";
    } catch (const VentoyManifestError& e) {
        EXPECT_EQ(render(e.value), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Manifest, AssetChecksumRejects, ::testing::ValuesIn(checksumRejects), test::CaseName{});

TEST(VentoyReleaseManifest, KeepsWhatItDoesNotValidateAsGiven) {
    std::map<VentoyAsset, Checksum> assets;
    for (const VentoyAsset asset : allVentoyAssets) assets.emplace(asset, validChecksum(asset));
    // Digits and case are not checked, only length; the member path and archive name not at all.
    const std::string upperDigest(64, 'F');
    assets.insert_or_assign(VentoyAsset::bootImg, Checksum("", upperDigest, 1, upperDigest, 1));
    const VentoyReleaseManifest manifest(" 1.1.17 ", "", upperDigest, 7, assets, 3, "https://mirror.example/v");
    EXPECT_EQ(manifest.version(), " 1.1.17 ");
    EXPECT_EQ(manifest.checksum(VentoyAsset::bootImg).memberPath(), "");
    EXPECT_EQ(manifest.assets(), assets);
    EXPECT_EQ(manifest.minimumAppVersion(), 3);
    // A padded version is no built-in version.
    EXPECT_EQ(&VentoyReleaseManifest::manifest(manifest.version()), &VentoyReleaseManifest::pinned());
}

TEST(VentoyReleaseManifest, BuiltInReleasesNewestFirstWithPinnedAtTheHead) {
    const auto& available = VentoyReleaseManifest::available();
    std::vector<std::string> versions;
    for (const auto& manifest : available) versions.push_back(manifest.version());
    const std::vector<std::string> expected{"1.1.17", "1.1.16", "1.1.15", "1.1.14"};
    EXPECT_EQ(versions, expected);
    // One shared instance each, made once.
    EXPECT_EQ(&VentoyReleaseManifest::pinned(), &available[0]);
    EXPECT_EQ(&VentoyReleaseManifest::recommended(), &available[0]);
    EXPECT_EQ(&VentoyReleaseManifest::v1_1_16(), &available[1]);
    EXPECT_EQ(&VentoyReleaseManifest::v1_1_15(), &available[2]);
    EXPECT_EQ(&VentoyReleaseManifest::v1_1_14(), &available[3]);
    EXPECT_EQ(ventoyVersion(), "1.1.17");
    EXPECT_EQ(VentoyReleaseManifest::pinned().releaseSourceURLString(),
              "https://github.com/ventoy/Ventoy/releases/tag/v1.1.17");
}

TEST(VentoyReleaseManifest, BuiltInRowsCarryTheReleaseDigestsAndSizes) {
    const auto& pinned = VentoyReleaseManifest::pinned();
    EXPECT_EQ(pinned.archiveName(), "ventoy-1.1.17-linux.tar.gz");
    EXPECT_EQ(pinned.archiveSizeBytes(), 20291141);
    EXPECT_EQ(pinned.archiveSha256(), "7fb4ed08cef6a6b4d39dd19260d8c80291a78dfdf9af7d461571e23cbbc43805");
    EXPECT_EQ(pinned.checksum(VentoyAsset::coreImg).decompressedSha256(),
              "b6581090947e7cacbd3cee23dfe2216aee9ab368c6508c2c5f3490621e969b84");
    EXPECT_EQ(pinned.checksum(VentoyAsset::ventoyDiskImg).compressedSizeBytes(), 13405224);
    EXPECT_EQ(pinned.checksum(VentoyAsset::ventoyDiskImg).memberPath(), "ventoy-1.1.17/ventoy/ventoy.disk.img.xz");
    EXPECT_EQ(VentoyReleaseManifest::v1_1_16().checksum(VentoyAsset::bootImg).compressedSha256(),
              "f97fc398940e9d2cc796c38aaca614e7dae194e1aaef378280db7c1890e10df9");
    EXPECT_EQ(VentoyReleaseManifest::v1_1_16().archiveSizeBytes(), 20292474);
    EXPECT_EQ(VentoyReleaseManifest::v1_1_15().checksum(VentoyAsset::ventoyDiskImg).compressedSha256(),
              "742ef7edbd4e36474eb11dad6c6f23b690643ef7d52d1247725769d095ccc4c8");
    EXPECT_EQ(VentoyReleaseManifest::v1_1_14().checksum(VentoyAsset::ventoyDiskImg).decompressedSha256(),
              "381b83b081a88f03869db20656f15834b6ad35526f9b35b1eb65541f12fae31e");
    EXPECT_EQ(VentoyReleaseManifest::v1_1_14().archiveSha256(),
              "96add45625f7634726bc64633ddaf93851f183e00beabf556c5ab7f1b080a81a");
    // 1.1.15 and 1.1.14 ship the same core.img.xz.
    EXPECT_EQ(VentoyReleaseManifest::v1_1_15().checksum(VentoyAsset::coreImg).compressedSha256(),
              VentoyReleaseManifest::v1_1_14().checksum(VentoyAsset::coreImg).compressedSha256());
}

TEST(VentoyReleaseManifest, EveryBuiltInRowHasTheSharedShape) {
    const auto isLowerHex = [](const std::string& text) {
        return text.find_first_not_of("0123456789abcdef") == std::string::npos;
    };
    for (const auto& manifest : VentoyReleaseManifest::available()) {
        SCOPED_TRACE(manifest.version());
        EXPECT_EQ(manifest.archiveName(), "ventoy-" + manifest.version() + "-linux.tar.gz");
        EXPECT_EQ(manifest.minimumAppVersion(), 1);
        EXPECT_EQ(manifest.downloadBaseUrl(), "https://github.com/ventoy/Ventoy/releases/download");
        EXPECT_TRUE(isLowerHex(manifest.archiveSha256()));
        for (const VentoyAsset asset : allVentoyAssets) {
            const Checksum& checksum = manifest.checksum(asset);
            const std::string folder = "ventoy-" + manifest.version() + "/";
            EXPECT_EQ(checksum.memberPath(), folder + std::string(memberPathSuffix(asset)));
            EXPECT_TRUE(isLowerHex(checksum.compressedSha256()) && isLowerHex(checksum.decompressedSha256()));
        }
        const Checksum& boot = manifest.checksum(VentoyAsset::bootImg);
        EXPECT_EQ(boot.compressedSha256(), boot.decompressedSha256());
        EXPECT_EQ(boot.compressedSizeBytes(), 512);
        EXPECT_EQ(boot.decompressedSizeBytes(), 512);
        EXPECT_EQ(manifest.checksum(VentoyAsset::coreImg).decompressedSizeBytes(), 1048064);
        EXPECT_EQ(manifest.checksum(VentoyAsset::ventoyDiskImg).decompressedSizeBytes(), 33554432);
    }
}

TEST(VentoyReleaseManifest, LooksUpBuiltInsByExactVersion) {
    struct Row {
        std::optional<std::string> version;
        const char* expected;
    };
    const Row rows[] = {{std::nullopt, "1.1.17"}, {"", "1.1.17"},       {"9.9.9", "1.1.17"},
                        {"1.1.15", "1.1.15"},     {"1.1.14", "1.1.14"}, {"1.1.15 ", "1.1.17"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version.value_or("<absent>"));
        EXPECT_EQ(VentoyReleaseManifest::manifest(row.version).version(), row.expected);
    }
}

}  // namespace
}  // namespace marlowick
