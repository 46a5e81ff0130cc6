#include "Assets/VentoyTrust.hpp"

#include <gtest/gtest.h>

#include "Assets/RegistrySigning.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Json = nlohmann::json;
using test::Bytes;

// One registry record: its version, whether it is enabled, and a name that tells the
// records apart in the result.
struct Entry {
    const char* version;
    bool enabled;
    const char* archiveName;
};

enum class Signing { none, valid, payloadChanged, signatureChanged, checkedWithReleaseKey, unreadablePayload };

struct TrustCase {
    const char* name;
    std::vector<Entry> entries;
    Signing signing;
    const char* version;
    const char* expected;  // "builtIn", the archive name of a registry record, or "" for no trust
};

Json recordFor(const Entry& entry) {
    Json record = test::soundReleaseRecord(entry.version);
    record["enabled"] = entry.enabled;
    record["current"] = false;
    record["visible"] = false;
    record["minimumAppVersion"] = 999;
    record["archiveName"] = entry.archiveName;
    return record;
}

const TrustCase trustCases[] = {
    {"noRegistryBuiltInVersion", {}, Signing::none, "1.1.16", "builtIn"},
    {"noRegistryUnknownVersion", {}, Signing::none, "1.1.18", ""},
    {"enabledRegistryReleaseWhateverItsOtherFlags", {{"1.1.18", true, "r18"}}, Signing::valid, "1.1.18", "r18"},
    {"firstOfTwoEnabledRecords", {{"1.1.18", true, "first"}, {"1.1.18", true, "second"}}, Signing::valid, "1.1.18", "first"},
    {"disabledEntryVetoesABuiltInRelease", {{"1.1.17", false, "r17"}}, Signing::valid, "1.1.17", ""},
    {"oneDisabledOfTwoVetoes", {{"1.1.18", true, "on"}, {"1.1.18", false, "off"}}, Signing::valid, "1.1.18", ""},
    {"disabledFirstAlsoVetoes", {{"1.1.18", false, "off"}, {"1.1.18", true, "on"}}, Signing::valid, "1.1.18", ""},
    {"builtInBeatsAnEnabledRegistryRecord", {{"1.1.17", true, "r17"}}, Signing::valid, "1.1.17", "builtIn"},
    {"disabledOtherVersionVetoesNothing", {{"1.1.16", false, "r16"}}, Signing::valid, "1.1.17", "builtIn"},
    {"changedPayloadIsNoRegistry", {{"1.1.18", true, "r18"}}, Signing::payloadChanged, "1.1.18", ""},
    {"changedPayloadVetoesNothing", {{"1.1.17", false, "r17"}}, Signing::payloadChanged, "1.1.17", "builtIn"},
    {"changedSignatureIsNoRegistry", {{"1.1.18", true, "r18"}}, Signing::signatureChanged, "1.1.18", ""},
    {"changedSignatureVetoesNothing", {{"1.1.17", false, "r17"}}, Signing::signatureChanged, "1.1.17", "builtIn"},
    {"otherKeysRegistryIsNoRegistry", {{"1.1.18", true, "r18"}}, Signing::checkedWithReleaseKey, "1.1.18", ""},
    {"otherKeysRegistryVetoesNothing", {{"1.1.17", false, "r17"}}, Signing::checkedWithReleaseKey, "1.1.17", "builtIn"},
    {"signedButUnreadableIsNoRegistry", {}, Signing::unreadablePayload, "1.1.17", "builtIn"},
    {"trailingSpaceMatchesNoBuiltIn", {}, Signing::none, "1.1.17 ", ""},
    {"trailingSpaceMatchesOnlyItsExactText", {{"1.1.17 ", true, "spaced"}}, Signing::valid, "1.1.17 ", "spaced"},
    {"versionsAreComparedExactly", {{"1.1.18", true, "r18"}}, Signing::valid, "1.1.1", ""},
};

class VentoyTrustManifest : public ::testing::TestWithParam<TrustCase> {};

TEST_P(VentoyTrustManifest, FollowsVetoThenBuiltInThenRegistry) {
    const TrustCase& c = GetParam();
    if (c.signing != Signing::none) MARLOWICK_REQUIRE_TOOL("openssl");
    std::vector<Json> records;
    for (const Entry& entry : c.entries) records.push_back(recordFor(entry));
    Bytes payload = c.signing == Signing::unreadablePayload ? test::bytesOf(R"({"releases": 1})")
                                                            : test::registryDocument(records);
    Bytes signature;
    if (c.signing != Signing::none) signature = test::opensslSign(payload, test::registryTestPrivateKey());
    if (c.signing == Signing::payloadChanged) payload.back() ^= 0x01;
    if (c.signing == Signing::signatureChanged) signature.back() ^= 0x01;
    const std::string key = c.signing == Signing::checkedWithReleaseKey ? std::string(test::releaseKeyBase64)
                                                                        : test::registryTestPublicKeyBase64();
    std::optional<VentoyTrust::SignedRegistryBytes> registry;
    if (c.signing != Signing::none) registry = VentoyTrust::SignedRegistryBytes{payload, signature};

    const std::optional<VentoyReleaseManifest> trusted =
        VentoyTrust::trustedManifest(c.version, registry, VentoyReleaseManifest::available(), key);

    const std::string expected = c.expected;
    if (expected.empty()) {
        EXPECT_FALSE(trusted) << trusted->archiveName();
    } else if (expected == "builtIn") {
        ASSERT_TRUE(trusted);
        EXPECT_EQ(*trusted, VentoyReleaseManifest::manifest(std::string(c.version)));
    } else {
        ASSERT_TRUE(trusted);
        EXPECT_EQ(trusted->archiveName(), expected);
        EXPECT_EQ(trusted->version(), c.version);
    }
}

INSTANTIATE_TEST_SUITE_P(Trust, VentoyTrustManifest, ::testing::ValuesIn(trustCases), test::CaseName{});

TEST(VentoyTrust, AnEmptyBuiltInListLeavesOnlyTheRegistry) {
    MARLOWICK_REQUIRE_TOOL("openssl");
    const Bytes payload = test::registryDocument({recordFor({"1.1.17", true, "r17"})});
    const Bytes signature = test::opensslSign(payload, test::registryTestPrivateKey());
    const std::optional<VentoyReleaseManifest> trusted = VentoyTrust::trustedManifest(
        "1.1.17", VentoyTrust::SignedRegistryBytes{payload, signature}, {}, test::registryTestPublicKeyBase64());
    ASSERT_TRUE(trusted);
    EXPECT_EQ(trusted->archiveName(), "r17");
}

TEST(VentoyTrust, AssetSetTakesThePathsUnchanged) {
    const VentoyAssetSet set = VentoyTrust::assetSet("1.1.17", "/cache/a b/boot.img", "relative/core.img", "");
    EXPECT_EQ(set.version, "1.1.17");
    EXPECT_EQ(set.url(VentoyAsset::bootImg), "/cache/a b/boot.img");
    EXPECT_EQ(set.url(VentoyAsset::coreImg), "relative/core.img");
    EXPECT_EQ(set.url(VentoyAsset::ventoyDiskImg), "");
    EXPECT_EQ(set.files.size(), 3U);
}

}  // namespace
}  // namespace marlowick
