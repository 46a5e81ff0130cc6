#include "Assets/VentoyAssetExtractor.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "Bytes/Sha256.hpp"
#include "Assets/ToolWorkspace.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Reason = VentoyExtractionReason;

struct AssetValues {
    std::string compressedSha256;
    std::int64_t compressedSizeBytes;
    std::string decompressedSha256;
    std::int64_t decompressedSizeBytes;
};
using ManifestValues = std::map<VentoyAsset, AssetValues>;

VentoyReleaseManifest manifestOf(const ManifestValues& values) {
    std::map<VentoyAsset, VentoyReleaseManifest::AssetChecksum> assets;
    for (const auto& [asset, v] : values) {
        assets.emplace(asset, VentoyReleaseManifest::AssetChecksum("ventoy-9.9.9/" + std::string(memberPathSuffix(asset)),
                                                                   v.compressedSha256, v.compressedSizeBytes,
                                                                   v.decompressedSha256, v.decompressedSizeBytes));
    }
    return VentoyReleaseManifest("9.9.9", "ventoy-9.9.9-linux.tar.gz", std::string(64, 'a'), 1, assets, 1,
                                 std::string(VentoyReleaseManifest::defaultDownloadBaseUrl));
}

// A release-shaped archive made with tar and xz: a top folder, the three boot files and
// other members around them, and a manifest holding the files' real sizes and digests.
class VentoyAssetExtractorRelease : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("tar");
        MARLOWICK_REQUIRE_TOOL("xz");
        MARLOWICK_REQUIRE_TOOL("gzip");
        workspace.write("ventoy-9.9.9/boot/boot.img", boot);
        workspace.write("ventoy-9.9.9/boot/core.img", core);
        workspace.write("ventoy-9.9.9/ventoy/ventoy.disk.img", disk);
        workspace.write("ventoy-9.9.9/README", test::patternedBytes(700, 4));
        workspace.write("ventoy-9.9.9/tool/x86_64/helper", test::patternedBytes(3000, 5));
        ASSERT_NO_FATAL_FAILURE(workspace.mustRun(
            "xz ventoy-9.9.9/boot/core.img ventoy-9.9.9/ventoy/ventoy.disk.img && "
            "tar czf release.tar.gz ventoy-9.9.9"));
        for (const auto& [asset, stored, plain] :
             {std::tuple{VentoyAsset::bootImg, "ventoy-9.9.9/boot/boot.img", &boot},
              std::tuple{VentoyAsset::coreImg, "ventoy-9.9.9/boot/core.img.xz", &core},
              std::tuple{VentoyAsset::ventoyDiskImg, "ventoy-9.9.9/ventoy/ventoy.disk.img.xz", &disk}}) {
            const Bytes member = workspace.read(stored);
            values[asset] = {Sha256::hex(member), static_cast<std::int64_t>(member.size()), Sha256::hex(*plain),
                             static_cast<std::int64_t>(plain->size())};
        }
    }

    // A gzip-compressed tar, members in name order, of a copy of the release folder after
    // `prepare` ran on it (in the folder that holds the copy).
    Bytes rebuiltArchive(const std::string& prepare) const {
        const test::CommandOutput made = workspace.run(
            "rm -rf edit && mkdir edit && cp -a ventoy-9.9.9 edit/ && cd edit && " + prepare +
            " && tar czf ../other.tar.gz --sort=name *");
        EXPECT_EQ(made.exitCode, 0) << prepare << "\n" << made.output;
        return workspace.read("other.tar.gz");
    }

    Bytes boot = test::patternedBytes(512, 1);
    Bytes core = test::patternedBytes(20000, 2);
    Bytes disk = test::patternedBytes(70000, 3);
    test::ToolWorkspace workspace;
    ManifestValues values;
};

TEST_F(VentoyAssetExtractorRelease, ExtractsTheThreeBootFilesDecompressedAndChecked) {
    const VentoyExtractionResult result = VentoyAssetExtractor::extract(workspace.read("release.tar.gz"), manifestOf(values));
    const VentoyExtractionResult expected{VentoyExtractionResult::Success{
        "9.9.9", {{VentoyAsset::bootImg, boot}, {VentoyAsset::coreImg, core}, {VentoyAsset::ventoyDiskImg, disk}}}};
    EXPECT_EQ(result, expected);
}

TEST_F(VentoyAssetExtractorRelease, TakesTheFirstMemberThatEndsWithTheSuffixWhateverItsFolder) {
    // "a/xboot/boot.img" ends with "boot/boot.img" too and comes first in the archive; the
    // boot.img after it holds other bytes and is never looked at. The top folder's name
    // says another version, which changes nothing.
    const Bytes archive = rebuiltArchive(
        "mkdir -p ventoy-9.9.9/a/xboot && mv ventoy-9.9.9/boot/boot.img ventoy-9.9.9/a/xboot/boot.img && "
        "head -c 512 /dev/zero > ventoy-9.9.9/boot/boot.img && mv ventoy-9.9.9 ventoy-1.0.0");
    const auto result = VentoyAssetExtractor::extract(archive, manifestOf(values));
    const auto* success = std::get_if<VentoyExtractionResult::Success>(&result.value);
    ASSERT_NE(success, nullptr) << ::testing::PrintToString(result);
    EXPECT_TRUE(success->assets.at(VentoyAsset::bootImg) == boot);
    EXPECT_EQ(success->version, "9.9.9");
}

TEST_F(VentoyAssetExtractorRelease, FailsAtTheFirstCheckWithItsReasonAndText) {
    const Bytes release = workspace.read("release.tar.gz");
    const std::string wrongDigest(64, '0');
    // 64 MiB of zeros xz-compressed to a few kilobytes, in place of ventoy.disk.img.xz.
    const Bytes bomb = rebuiltArchive("head -c 67108864 /dev/zero | xz -c > ventoy-9.9.9/ventoy/ventoy.disk.img.xz");
    const auto bombSize =
        static_cast<std::int64_t>(workspace.read("edit/ventoy-9.9.9/ventoy/ventoy.disk.img.xz").size());
    ASSERT_LT(bombSize, 100000);
    ASSERT_NO_FATAL_FAILURE(workspace.mustRun("gzip -dc release.tar.gz > plain.tar"));

    struct Row {
        const char* name;
        std::function<Bytes()> archive;
        std::function<void(ManifestValues&)> adjust;
        Reason reason;
        std::string detail;
    };
    const auto& v = values;
    const Row rows[] = {
        {"a tar that is not gzipped", [&] { return workspace.read("plain.tar"); }, [](ManifestValues&) {},
         Reason::malformed, "Failed to gunzip archive: malformedHeader"},
        {"gzip of something that is not tar",
         [&] {
             Bytes head(512, 0);
             const std::string name = "ventoy-9.9.9/boot/boot.img";
             std::copy(name.begin(), name.end(), head.begin());
             std::fill_n(head.begin() + 124, 11, '9');
             workspace.write("bad.tar", head);
             EXPECT_EQ(workspace.run("gzip -c bad.tar > bad.tar.gz").exitCode, 0);
             return workspace.read("bad.tar.gz");
         },
         [](ManifestValues&) {}, Reason::malformed,
         "Failed to read tar archive: unparseableSize(name: \"ventoy-9.9.9/boot/boot.img\")"},
        {"no boot.img", [&] { return rebuiltArchive("rm ventoy-9.9.9/boot/boot.img"); }, [](ManifestValues&) {},
         Reason::missingMember, "Archive is missing the member ending in 'boot/boot.img'"},
        {"no ventoy.disk.img.xz, found after the other two passed",
         [&] { return rebuiltArchive("rm ventoy-9.9.9/ventoy/ventoy.disk.img.xz"); }, [](ManifestValues&) {},
         Reason::missingMember,
         "Archive is missing the member ending in 'ventoy/ventoy.disk.img.xz'"},
        {"core.img.xz one byte shorter than pinned", [&] { return release; },
         [](ManifestValues& m) { m[VentoyAsset::coreImg].compressedSizeBytes += 1; }, Reason::sizeMismatch,
         "coreImg: stored member is " + std::to_string(v.at(VentoyAsset::coreImg).compressedSizeBytes) +
             " bytes, expected " + std::to_string(v.at(VentoyAsset::coreImg).compressedSizeBytes + 1)},
        {"an xz member that is not xz",
         [&] { return rebuiltArchive("head -c " + std::to_string(v.at(VentoyAsset::ventoyDiskImg).compressedSizeBytes) +
                                     " /dev/zero > ventoy-9.9.9/ventoy/ventoy.disk.img.xz"); },
         [](ManifestValues&) {}, Reason::malformed, "ventoyDiskImg: failed to decompress .xz member: corrupt"},
        {"core.img one byte longer than pinned", [&] { return release; },
         [](ManifestValues& m) { m[VentoyAsset::coreImg].decompressedSizeBytes -= 1; }, Reason::sizeMismatch,
         "coreImg: decompressed to 20000 bytes, expected 19999"},
        {"core.img two bytes longer than pinned: past the decoder's limit", [&] { return release; },
         [](ManifestValues& m) { m[VentoyAsset::coreImg].decompressedSizeBytes -= 2; }, Reason::malformed,
         "coreImg: failed to decompress .xz member: corrupt"},
        {"boot.img shorter than pinned", [&] { return release; },
         [](ManifestValues& m) {
             m[VentoyAsset::bootImg].compressedSizeBytes = 512;
             m[VentoyAsset::bootImg].decompressedSizeBytes = 513;
         },
         Reason::sizeMismatch, "bootImg: decompressed to 512 bytes, expected 513"},
        {"boot.img with another digest", [&] { return release; },
         [&](ManifestValues& m) { m[VentoyAsset::bootImg].decompressedSha256 = wrongDigest; }, Reason::hashMismatch,
         "bootImg: decompressed SHA-256 " + v.at(VentoyAsset::bootImg).decompressedSha256 + ", expected " +
             wrongDigest},
        {"an xz bomb in place of ventoy.disk.img.xz", [&] { return bomb; },
         [&](ManifestValues& m) { m[VentoyAsset::ventoyDiskImg].compressedSizeBytes = bombSize; }, Reason::malformed,
         "ventoyDiskImg: failed to decompress .xz member: corrupt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ManifestValues adjusted = values;
        row.adjust(adjusted);
        const VentoyExtractionResult expected{VentoyExtractionResult::Failure{row.reason, row.detail}};
        EXPECT_EQ(VentoyAssetExtractor::extract(row.archive(), manifestOf(adjusted)), expected);
    }
}

}  // namespace
}  // namespace marlowick
