#include "Assets/VentoyRegistryParser.hpp"

#include <gtest/gtest.h>

#include "Assets/RegistrySigning.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Json = nlohmann::json;
using test::Bytes;
using test::bytesOf;

const std::string allowedBase = "https://github.com/ventoy/Ventoy/releases/download";

// One sound release under a sound top-level base; each row changes one thing.
Json baseDocument() {
    return Json{{"schemaVersion", 1}, {"downloadBaseUrl", allowedBase}, {"releases", {test::soundReleaseRecord("1.1.18")}}};
}

Json& record(Json& document) { return document["releases"][0]; }
Json& asset(Json& document, const char* key) { return record(document)["assets"][key]; }

enum class Outcome { kept, dropped, unreadable };

struct DocumentCase {
    const char* name;
    void (*change)(Json&);
    Outcome outcome;
};

const DocumentCase documentCases[] = {
    // Kept.
    {"sound", [](Json&) {}, Outcome::kept},
    {"ownBaseOnASubdomainInAnyCase", [](Json& d) { record(d)["downloadBaseUrl"] = "https://Dl.Release.GITHUB.com/x"; }, Outcome::kept},
    {"downloadHost", [](Json& d) { record(d)["downloadBaseUrl"] = "https://objects.githubusercontent.com/r"; }, Outcome::kept},
    {"allowedHostWithPortAndUser", [](Json& d) { record(d)["downloadBaseUrl"] = "https://me@github.com:443/r"; }, Outcome::kept},
    {"noOwnBaseTakesTheDocuments", [](Json& d) { record(d).erase("downloadBaseUrl"); }, Outcome::kept},
    {"nullOwnBaseTakesTheDocuments", [](Json& d) { record(d)["downloadBaseUrl"] = nullptr; }, Outcome::kept},
    {"upperCaseAndNonHexDigests", [](Json& d) {
         record(d)["archiveSha256"] = std::string(64, 'Z');
         asset(d, "CORE_IMG")["compressedSha256"] = std::string(64, 'F');
     }, Outcome::kept},
    {"bootImgOf513Bytes", [](Json& d) { asset(d, "BOOT_IMG")["decompressedSizeBytes"] = 513; }, Outcome::kept},
    {"unknownAssetKeySkipped", [](Json& d) { record(d)["assets"]["EFI_IMG"] = asset(d, "BOOT_IMG"); }, Outcome::kept},
    {"anyIntegerSchemaVersion", [](Json& d) { d["schemaVersion"] = -9223372036854775807LL; }, Outcome::kept},
    {"unknownKeysIgnored", [](Json& d) { d["signedBy"] = Json::array({1, "x"}); record(d)["notes"] = {{"a", 1}}; }, Outcome::kept},
    {"largestArchiveSize", [](Json& d) { record(d)["archiveSizeBytes"] = 9223372036854775807LL; }, Outcome::kept},
    // Dropped.
    {"ownBaseOnOtherHostDespiteAllowedTopLevel", [](Json& d) { record(d)["downloadBaseUrl"] = "https://example.org/r"; }, Outcome::dropped},
    {"noBaseAnywhere", [](Json& d) { record(d).erase("downloadBaseUrl"); d.erase("downloadBaseUrl"); }, Outcome::dropped},
    {"hostEndingInAllowedNameWithoutDot", [](Json& d) { record(d)["downloadBaseUrl"] = "https://xgithub.com/r"; }, Outcome::dropped},
    {"allowedNameAsSubdomainOfOther", [](Json& d) { record(d)["downloadBaseUrl"] = "https://github.com.example.org/r"; }, Outcome::dropped},
    {"allowedNameAsUser", [](Json& d) { record(d)["downloadBaseUrl"] = "https://github.com@example.org/r"; }, Outcome::dropped},
    {"twoUsers", [](Json& d) { record(d)["downloadBaseUrl"] = "https://a@example.org@github.com/r"; }, Outcome::dropped},
    {"allowedNameInPath", [](Json& d) { record(d)["downloadBaseUrl"] = "https://example.org/github.com"; }, Outcome::dropped},
    {"allowedNameInQuery", [](Json& d) { record(d)["downloadBaseUrl"] = "https://example.org?.github.com"; }, Outcome::dropped},
    {"backslashBeforeAllowedName", [](Json& d) { record(d)["downloadBaseUrl"] = "https://example.org\\@github.com/r"; }, Outcome::dropped},
    {"percentEscapedHost", [](Json& d) { record(d)["downloadBaseUrl"] = "https://github%2Ecom/r"; }, Outcome::dropped},
    {"spaceInBase", [](Json& d) { record(d)["downloadBaseUrl"] = "https://github.com /r"; }, Outcome::dropped},
    {"noHost", [](Json& d) { record(d)["downloadBaseUrl"] = "https:///r"; }, Outcome::dropped},
    {"notAUrl", [](Json& d) { record(d)["downloadBaseUrl"] = "github.com/r"; }, Outcome::dropped},
    {"plainHttpOnAllowedHost", [](Json& d) { record(d)["downloadBaseUrl"] = "http://github.com/r"; }, Outcome::dropped},
    {"lowerCaseBootImgKey", [](Json& d) {
         record(d)["assets"]["boot_img"] = asset(d, "BOOT_IMG");
         record(d)["assets"].erase("BOOT_IMG");
     }, Outcome::dropped},
    {"assetDigestOf63", [](Json& d) { asset(d, "VENTOY_DISK_IMG")["decompressedSha256"] = std::string(63, 'd'); }, Outcome::dropped},
    {"assetSizeZero", [](Json& d) { asset(d, "BOOT_IMG")["compressedSizeBytes"] = 0; }, Outcome::dropped},
    {"coreImgOneByteOverWholeSectors", [](Json& d) { asset(d, "CORE_IMG")["decompressedSizeBytes"] = 1048065; }, Outcome::dropped},
    {"ventoyDiskImgNotWholeSectors", [](Json& d) { asset(d, "VENTOY_DISK_IMG")["decompressedSizeBytes"] = 1000; }, Outcome::dropped},
    {"minimumAppVersionZero", [](Json& d) { record(d)["minimumAppVersion"] = 0; }, Outcome::dropped},
    {"blankVersion", [](Json& d) { record(d)["version"] = " \n"; }, Outcome::dropped},
    {"archiveDigestOf65", [](Json& d) { record(d)["archiveSha256"] = std::string(65, 'a'); }, Outcome::dropped},
    {"negativeArchiveSize", [](Json& d) { record(d)["archiveSizeBytes"] = -1; }, Outcome::dropped},
    // Unreadable: the whole document, sound records included.
    {"missingArchiveName", [](Json& d) {
         d["releases"].push_back(test::soundReleaseRecord("1.1.19"));
         d["releases"][1].erase("archiveName");
     }, Outcome::unreadable},
    {"nullRequiredVersion", [](Json& d) { record(d)["version"] = nullptr; }, Outcome::unreadable},
    {"schemaVersionAsText", [](Json& d) { d["schemaVersion"] = "1"; }, Outcome::unreadable},
    {"schemaVersionWithFraction", [](Json& d) { d["schemaVersion"] = 1.5; }, Outcome::unreadable},
    {"flagAsNumber", [](Json& d) { record(d)["enabled"] = 1; }, Outcome::unreadable},
    {"verifiedOnAsNumber", [](Json& d) { record(d)["verifiedOn"] = 20261130; }, Outcome::unreadable},
    {"minimumAppVersionAsText", [](Json& d) { record(d)["minimumAppVersion"] = "1"; }, Outcome::unreadable},
    {"sizeAsFloat", [](Json& d) { record(d)["archiveSizeBytes"] = 20291141.0; }, Outcome::unreadable},
    {"sizeBeyondSigned64Bits", [](Json& d) { record(d)["archiveSizeBytes"] = 9223372036854775808ULL; }, Outcome::unreadable},
    {"assetsAsArray", [](Json& d) { record(d)["assets"] = Json::array(); }, Outcome::unreadable},
    {"assetsMissing", [](Json& d) { record(d).erase("assets"); }, Outcome::unreadable},
    {"incompleteAssetUnderUnknownKey", [](Json& d) { record(d)["assets"]["EXTRA"] = {{"memberPath", "x"}}; }, Outcome::unreadable},
    {"nullAssetRecord", [](Json& d) { record(d)["assets"]["EXTRA"] = nullptr; }, Outcome::unreadable},
    {"assetSizeAsText", [](Json& d) { asset(d, "CORE_IMG")["compressedSizeBytes"] = "400000"; }, Outcome::unreadable},
    {"releasesAsObject", [](Json& d) { d["releases"] = {{"a", 1}}; }, Outcome::unreadable},
    {"nullReleaseRecord", [](Json& d) { d["releases"].push_back(nullptr); }, Outcome::unreadable},
    {"topLevelBaseAsNumber", [](Json& d) { d["downloadBaseUrl"] = 1; }, Outcome::unreadable},
    {"topLevelArray", [](Json& d) { d = Json::array({d}); }, Outcome::unreadable},
};

class VentoyRegistryParserDocuments : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(VentoyRegistryParserDocuments, KeepDropOrRefuse) {
    const DocumentCase& c = GetParam();
    Json document = baseDocument();
    c.change(document);
    const std::optional<VentoyVersionRegistry> registry = VentoyRegistryParser::parse(bytesOf(document.dump()));
    switch (c.outcome) {
        case Outcome::kept:
            ASSERT_TRUE(registry);
            EXPECT_EQ(registry->releases.size(), 1U);
            break;
        case Outcome::dropped:
            ASSERT_TRUE(registry);
            EXPECT_TRUE(registry->releases.empty());
            break;
        case Outcome::unreadable:
            EXPECT_FALSE(registry);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Parse, VentoyRegistryParserDocuments, ::testing::ValuesIn(documentCases), test::CaseName{});

struct RawCase {
    const char* name;
    std::string text;
    bool readable;
};

std::string nested(std::size_t depth, const std::string& inner) {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

const std::string soundRecordText = test::soundReleaseRecord("1.1.18").dump();

const RawCase rawCases[] = {
    {"emptyObject", "{}", true},
    {"emptyReleases", R"({"releases": []})", true},
    {"nullReleases", R"({"releases": null, "schemaVersion": null})", true},
    {"noBytes", "", false},
    {"notJson", "registry", false},
    {"truncated", R"({"releases": [)", false},
    {"trailingGarbage", "{} {}", false},
    {"comment", "{} // signed", false},
    {"invalidUtf8InString", "{\"downloadBaseUrl\": \"https://github.com/\xff\xfe\"}", false},
    {"invalidUtf8InKey", "{\"\xc3\x28\": 1}", false},
    {"overlongUtf8", "{\"x\": \"\xc0\xaf\"}", false},
    {"loneSurrogateEscape", R"({"x": "\ud800"})", false},
    {"nulByte", std::string("{\"x\": \"a\0b\"}", 13), false},
    {"numberBeyondDouble", R"({"schemaVersion": 1e400})", false},
    {"hugeIntegerLiteral", R"({"schemaVersion": 123456789012345678901234567890})", false},
    {"exponentInteger", R"({"schemaVersion": 1e2})", false},
    {"deepNestingUnderIgnoredKey", "{\"x\": " + nested(100000, "1") + "}", true},
    {"deepNestingAsVersion", "{\"releases\": [{\"version\": " + nested(100000, "") + "}]}", false},
    {"deepUnclosedNesting", std::string(200000, '['), false},
    {"byteOrderMark", "\xef\xbb\xbf{\"releases\": [" + soundRecordText + "]}", true},
};

class VentoyRegistryParserRawBytes : public ::testing::TestWithParam<RawCase> {};

TEST_P(VentoyRegistryParserRawBytes, NeverThrowOrCrash) {
    const RawCase& c = GetParam();
    const std::optional<VentoyVersionRegistry> registry = VentoyRegistryParser::parse(bytesOf(c.text));
    EXPECT_EQ(registry.has_value(), c.readable);
}

INSTANTIATE_TEST_SUITE_P(Parse, VentoyRegistryParserRawBytes, ::testing::ValuesIn(rawCases), test::CaseName{});

TEST(VentoyRegistryParser, CarriesEveryValueOfASoundRecord) {
    const std::optional<VentoyVersionRegistry> registry = VentoyRegistryParser::parse(bytesOf(baseDocument().dump()));
    ASSERT_TRUE(registry);
    ASSERT_EQ(registry->releases.size(), 1U);
    const auto checksum = [](const char* member, std::int64_t compressed, std::int64_t decompressed) {
        return VentoyReleaseManifest::AssetChecksum(member, std::string(64, 'c'), compressed, std::string(64, 'd'),
                                                    decompressed);
    };
    const VentoyRegistryRelease expected{
        .manifest = VentoyReleaseManifest("1.1.18", "ventoy-1.1.18-linux.tar.gz", std::string(64, 'a'), 20291141,
                                          {{VentoyAsset::bootImg, checksum("ventoy-boot/boot.img", 512, 512)},
                                           {VentoyAsset::coreImg, checksum("ventoy-boot/core.img.xz", 400000, 1048064)},
                                           {VentoyAsset::ventoyDiskImg,
                                            checksum("ventoy-ventoy/ventoy.disk.img.xz", 15000000, 33554432)}},
                                          3, allowedBase),
        .enabled = true,
        .current = true,
        .visible = true,
        .verifiedOn = "2026-11-30",
    };
    EXPECT_EQ(registry->releases.front(), expected);
}

TEST(VentoyRegistryParser, AbsentFlagsAreFalseAndAbsentMinimumIsOne) {
    Json document = baseDocument();
    for (const char* key : {"enabled", "current", "visible", "verifiedOn", "minimumAppVersion"}) record(document).erase(key);
    record(document)["downloadBaseUrl"] = nullptr;
    const std::optional<VentoyVersionRegistry> registry = VentoyRegistryParser::parse(bytesOf(document.dump()));
    ASSERT_TRUE(registry);
    ASSERT_EQ(registry->releases.size(), 1U);
    const VentoyRegistryRelease& release = registry->releases.front();
    EXPECT_FALSE(release.enabled);
    EXPECT_FALSE(release.current);
    EXPECT_FALSE(release.visible);
    EXPECT_EQ(release.verifiedOn, std::nullopt);
    EXPECT_EQ(release.manifest.minimumAppVersion(), 1);
    EXPECT_EQ(release.manifest.downloadBaseUrl(), allowedBase);
}

TEST(VentoyRegistryParser, KeepsEveryRecordOfOneVersionInDocumentOrderAndDropsOnlyTheBadOne) {
    Json first = test::soundReleaseRecord("1.1.18");
    Json dropped = test::soundReleaseRecord("1.1.19");
    dropped["downloadBaseUrl"] = "https://example.org/r";
    Json second = test::soundReleaseRecord("1.1.18");
    second["archiveName"] = "second.tar.gz";
    second["enabled"] = false;
    const std::optional<VentoyVersionRegistry> registry =
        VentoyRegistryParser::parse(test::registryDocument({first, dropped, second}));
    ASSERT_TRUE(registry);
    ASSERT_EQ(registry->releases.size(), 2U);
    EXPECT_EQ(registry->releases[0].manifest.archiveName(), "ventoy-1.1.18-linux.tar.gz");
    EXPECT_TRUE(registry->releases[0].enabled);
    EXPECT_EQ(registry->releases[1].manifest.archiveName(), "second.tar.gz");
    EXPECT_FALSE(registry->releases[1].enabled);
}

TEST(VentoyRegistryParser, VersionIsKeptUntrimmed) {
    Json document = baseDocument();
    record(document)["version"] = " 1.1.18\t";
    const std::optional<VentoyVersionRegistry> registry = VentoyRegistryParser::parse(bytesOf(document.dump()));
    ASSERT_TRUE(registry);
    ASSERT_EQ(registry->releases.size(), 1U);
    EXPECT_EQ(registry->releases.front().manifest.version(), " 1.1.18\t");
}

}  // namespace
}  // namespace marlowick
