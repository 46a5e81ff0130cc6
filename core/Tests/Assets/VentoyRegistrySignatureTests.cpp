#include "Assets/VentoyRegistrySignature.hpp"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>

#include <gtest/gtest.h>

#include "Assets/RegistrySigning.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::Bytes;

class VentoyRegistrySignatureTest : public ::testing::Test {
protected:
    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("openssl");
        payload = test::registryDocument({test::soundReleaseRecord("1.1.18")});
        signature = test::opensslSign(payload, test::registryTestPrivateKey());
        key = test::registryTestPublicKeyBase64();
    }

    bool verify(const Bytes& signedBytes, const Bytes& signatureBytes, std::string_view publicKey) const {
        return VentoyRegistrySignature::verify(signedBytes, signatureBytes, publicKey);
    }

    Bytes payload;
    Bytes signature;
    std::string key;
};

TEST_F(VentoyRegistrySignatureTest, AcceptsTheOpensslSignatureOfTheExactBytes) {
    EXPECT_TRUE(verify(payload, signature, key));
    const Bytes empty;
    EXPECT_TRUE(verify(empty, test::opensslSign(empty, test::registryTestPrivateKey()), key));
}

TEST_F(VentoyRegistrySignatureTest, RefusesEveryOneByteChangeOfPayloadOrSignature) {
    for (const std::size_t offset : {std::size_t{0}, payload.size() / 2, payload.size() - 1}) {
        Bytes changed = payload;
        changed[offset] ^= 0x01;
        EXPECT_FALSE(verify(changed, signature, key)) << "payload byte " << offset;
    }
    Bytes withLineEnd = payload;
    withLineEnd.push_back('\n');
    EXPECT_FALSE(verify(withLineEnd, signature, key));
    for (std::size_t offset = 0; offset < signature.size(); ++offset) {
        Bytes changed = signature;
        changed[offset] ^= 0x01;
        EXPECT_FALSE(verify(payload, changed, key)) << "signature byte " << offset;
    }
}

TEST_F(VentoyRegistrySignatureTest, TheReleaseKeyVouchesForNothingTheTestKeySigned) {
    EXPECT_FALSE(verify(payload, signature, test::releaseKeyBase64));
}

TEST_F(VentoyRegistrySignatureTest, LeavesNoErrorOnTheThreadsQueue) {
    ERR_clear_error();
    EXPECT_FALSE(verify(payload, Bytes{0x30, 0x00}, key));
    EXPECT_FALSE(verify(payload, signature, test::releaseKeyBase64));
    EXPECT_EQ(ERR_peek_error(), 0UL);
}

Bytes rawPair(const Bytes& der) {
    const unsigned char* cursor = der.data();
    ECDSA_SIG* parsed = d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der.size()));
    Bytes raw(64);
    EXPECT_NE(parsed, nullptr);
    if (parsed == nullptr) return raw;
    EXPECT_EQ(BN_bn2binpad(ECDSA_SIG_get0_r(parsed), raw.data(), 32), 32);
    EXPECT_EQ(BN_bn2binpad(ECDSA_SIG_get0_s(parsed), raw.data() + 32, 32), 32);
    ECDSA_SIG_free(parsed);
    return raw;
}

// The same SEQUENCE with its length in the long form: valid BER, not DER.
Bytes longFormLength(const Bytes& der) {
    Bytes ber{der[0], 0x81};
    ber.insert(ber.end(), der.begin() + 1, der.end());
    return ber;
}

TEST_F(VentoyRegistrySignatureTest, RefusesSignaturesThatAreNotExactlyOneDerPair) {
    Bytes trailing = signature;
    trailing.push_back(0x00);
    const struct {
        const char* name;
        Bytes bytes;
    } rows[] = {
        {"empty", {}},
        {"sequenceHeaderOnly", {0x30}},
        {"emptySequence", {0x30, 0x00}},
        {"rawRAndS", rawPair(signature)},
        {"trailingByte", trailing},
        {"berLongFormLength", longFormLength(signature)},
        {"truncated", Bytes(signature.begin(), signature.end() - 1)},
    };
    for (const auto& row : rows) EXPECT_FALSE(verify(payload, row.bytes, key)) << row.name;
}

TEST_F(VentoyRegistrySignatureTest, RefusesKeysThatAreNotOneP256SubjectPublicKeyInfo) {
    const test::TempDir folder;
    const auto otherKey = [&](const std::string& options) {
        return test::opensslPublicKeyBase64(test::opensslGenerateKey(folder.path(), options));
    };
    const std::string keyWithTrailingByte = test::runCommand("printf '%s' '" + key + "' | base64 -d | { cat; printf x; } | base64 -w0").output;
    const std::string truncatedKey = test::runCommand("printf '%s' '" + key + "' | base64 -d | head -c 90 | base64 -w0").output;
    const struct {
        const char* name;
        std::string key;
    } rows[] = {
        {"empty", ""},
        {"lineBreakInside", key.substr(0, 64) + "\n" + key.substr(64)},
        {"trailingLineBreak", key + "\n"},
        {"paddingDropped", key.substr(0, key.size() - 2)},
        {"urlSafeAlphabet", key.substr(0, 36) + "-_" + key.substr(38)},
        {"trailingByteAfterDer", keyWithTrailingByte},
        {"truncatedDer", truncatedKey},
        {"p384", otherKey("-algorithm EC -pkeyopt ec_paramgen_curve:secp384r1")},
        {"secp256k1", otherKey("-algorithm EC -pkeyopt ec_paramgen_curve:secp256k1")},
        {"ed25519", otherKey("-algorithm ED25519")},
        {"releaseKey", std::string(test::releaseKeyBase64)},
    };
    for (const auto& row : rows) EXPECT_FALSE(verify(payload, signature, row.key)) << row.name;
}

TEST_F(VentoyRegistrySignatureTest, ASignatureByAP384KeyIsNotAcceptedUnderAnyKey) {
    const test::TempDir folder;
    const auto p384 = test::opensslGenerateKey(folder.path(), "-algorithm EC -pkeyopt ec_paramgen_curve:secp384r1");
    const Bytes p384Signature = test::opensslSign(payload, p384);
    EXPECT_FALSE(verify(payload, p384Signature, key));
    EXPECT_FALSE(verify(payload, p384Signature, test::opensslPublicKeyBase64(p384)));
}

}  // namespace
}  // namespace marlowick
