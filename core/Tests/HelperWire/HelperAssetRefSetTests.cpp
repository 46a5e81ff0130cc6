#include "HelperWire/HelperAssetRefSet.hpp"

#include <gtest/gtest.h>

#include "Assets/RegistrySigning.hpp"
#include "HelperWire/WireRoundTrip.hpp"

namespace marlowick {
namespace {

VentoyAssetSet cachedSet() {
    return VentoyAssetSet{"1.1.15",
                          {{VentoyAsset::bootImg, "/home/u/.cache/marlowick/1.1.15/boot.img"},
                           {VentoyAsset::coreImg, "/home/u/.cache/marlowick/1.1.15/core.img"},
                           {VentoyAsset::ventoyDiskImg, "/home/u/.cache/marlowick/1.1.15/ventoy.disk.img"}}};
}

TEST(HelperAssetRefSet, CarriesTheCachedSetAndGivesItBack) {
    const HelperAssetRefSet wire(cachedSet(), std::nullopt);
    test::expectWireRoundTrip(R"({"version":"1.1.15","bootImgPath":"/home/u/.cache/marlowick/1.1.15/boot.img",)"
                              R"("coreImgPath":"/home/u/.cache/marlowick/1.1.15/core.img",)"
                              R"("ventoyDiskImgPath":"/home/u/.cache/marlowick/1.1.15/ventoy.disk.img"})",
                              wire);
    EXPECT_EQ(wire.assetSet(), cachedSet());
}

TEST(HelperAssetRefSet, PathsAreFilePathsNotUrls) {
    const HelperAssetRefSet wire("1.1.15", "/tmp/a b/%20boot.img", "/tmp/core#1.img", "/tmp/x?y.img", std::nullopt);
    const VentoyAssetSet set = wire.assetSet();
    EXPECT_EQ(set.url(VentoyAsset::bootImg), std::filesystem::path("/tmp/a b/%20boot.img"));
    EXPECT_EQ(set.url(VentoyAsset::coreImg), std::filesystem::path("/tmp/core#1.img"));
    EXPECT_EQ(set.url(VentoyAsset::ventoyDiskImg), std::filesystem::path("/tmp/x?y.img"));
}

// The decision itself is VentoyTrust's; here: the set hands over its version and registry bytes.
TEST(HelperAssetRefSet, TrustedManifestWeighsItsOwnRegistry) {
    const test::Bytes payload = test::registryDocument({test::soundReleaseRecord("1.1.90")});
    const HelperSignedRegistry registry{payload, test::opensslSign(payload, test::registryTestPrivateKey())};
    const std::string testKey = test::registryTestPublicKeyBase64();
    const auto& builtIn = VentoyReleaseManifest::available();
    const auto versionOf = [](const std::optional<VentoyReleaseManifest>& manifest) {
        return manifest ? std::optional(manifest->version()) : std::nullopt;
    };

    EXPECT_EQ(versionOf(HelperAssetRefSet("1.1.16", "/b", "/c", "/v", std::nullopt).trustedManifest(builtIn, testKey)),
              "1.1.16");
    EXPECT_EQ(versionOf(HelperAssetRefSet("1.1.90", "/b", "/c", "/v", registry).trustedManifest(builtIn, testKey)),
              "1.1.90");
    EXPECT_EQ(versionOf(HelperAssetRefSet("1.1.90", "/b", "/c", "/v", std::nullopt).trustedManifest(builtIn, testKey)),
              std::nullopt);
    EXPECT_EQ(versionOf(HelperAssetRefSet("1.1.90", "/b", "/c", "/v", registry)
                            .trustedManifest(builtIn, test::releaseKeyBase64)),
              std::nullopt);
}

TEST(HelperAssetRefSet, SignedRegistryTravelsAsBase64) {
    const HelperSignedRegistry registry{{'{', '}', '\n'}, {0x30, 0x45, 0x02, 0x21, 0xFF}};
    const HelperAssetRefSet wire(cachedSet(), registry);
    test::expectWireRoundTrip(R"({"version":"1.1.15","bootImgPath":"/home/u/.cache/marlowick/1.1.15/boot.img",)"
                              R"("coreImgPath":"/home/u/.cache/marlowick/1.1.15/core.img",)"
                              R"("ventoyDiskImgPath":"/home/u/.cache/marlowick/1.1.15/ventoy.disk.img",)"
                              R"("registry":{"payload":"e30K","signature":"MEUCIf8="}})",
                              wire);
    // A line break inside the base64 text refuses the whole set.
    EXPECT_EQ(tryDecodeJson<HelperAssetRefSet>(R"({"version":"1","bootImgPath":"/a","coreImgPath":"/b",)"
                                               R"("ventoyDiskImgPath":"/c","registry":{"payload":"e30K\n",)"
                                               R"("signature":"MEUCIf8="}})"),
              std::nullopt);
    EXPECT_NE(wire, HelperAssetRefSet(cachedSet(), std::nullopt));
}

}  // namespace
}  // namespace marlowick
