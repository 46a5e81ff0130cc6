#include "Assets/VentoyRegistrySignature.hpp"

#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include "Bytes/Base64.hpp"

#ifndef MARLOWICK_REGISTRY_PUBLIC_KEY
#error "MARLOWICK_REGISTRY_PUBLIC_KEY must be defined by the build (see core/CMakeLists.txt)"
#endif

namespace marlowick::VentoyRegistrySignature {

const std::string_view pinnedPublicKeyBase64 = MARLOWICK_REGISTRY_PUBLIC_KEY;

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct SignatureFree {
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

// A verdict must not leave errors behind for whoever calls OpenSSL next on this thread.
struct ErrorQueueCleaner {
    ~ErrorQueueCleaner() { ERR_clear_error(); }
};

bool fitsInLong(std::size_t size) { return size <= static_cast<std::size_t>(LONG_MAX); }

// Exactly one DER SubjectPublicKeyInfo, nothing after it, holding an EC key on P-256.
Key p256PublicKey(std::span<const std::uint8_t> der) {
    if (der.empty() || !fitsInLong(der.size())) return nullptr;
    const unsigned char* cursor = der.data();
    Key key(d2i_PUBKEY(nullptr, &cursor, static_cast<long>(der.size())));
    if (!key || cursor != der.data() + der.size()) return nullptr;
    if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC) return nullptr;
    char curve[64] = {};
    std::size_t curveLength = 0;
    if (EVP_PKEY_get_group_name(key.get(), curve, sizeof curve, &curveLength) != 1) return nullptr;
    if (OBJ_sn2nid(curve) != NID_X9_62_prime256v1) return nullptr;
    return key;
}

// Strict DER: the bytes must decode to (r, s) and encode back to exactly themselves,
// so BER variants, padded integers and trailing bytes are all refused.
bool isStrictDerSignature(std::span<const std::uint8_t> der) {
    if (der.empty() || !fitsInLong(der.size())) return false;
    const unsigned char* cursor = der.data();
    const std::unique_ptr<ECDSA_SIG, SignatureFree> signature(
        d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der.size())));
    if (!signature || cursor != der.data() + der.size()) return false;
    unsigned char* reencoded = nullptr;
    const int length = i2d_ECDSA_SIG(signature.get(), &reencoded);
    const bool same = length > 0 && static_cast<std::size_t>(length) == der.size() &&
                      std::equal(der.begin(), der.end(), reencoded);
    OPENSSL_free(reencoded);
    return same;
}

}  // namespace

bool verify(std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signatureDER,
            std::string_view publicKeyBase64) noexcept {
    const ErrorQueueCleaner cleaner;
    try {
        const std::optional<std::vector<std::uint8_t>> keyDER = Base64::decode(publicKeyBase64);
        if (!keyDER) return false;
        const Key key = p256PublicKey(*keyDER);
        if (!key) return false;
        if (!isStrictDerSignature(signatureDER)) return false;

        const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
        if (!context) return false;
        if (EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) return false;
        // An empty payload still needs a valid pointer for the one-shot call.
        static constexpr unsigned char noBytes = 0;
        const unsigned char* data = payload.empty() ? &noBytes : payload.data();
        // Only 1 is a good signature: 0 is a bad one and -1 (or less) an error.
        return EVP_DigestVerify(context.get(), signatureDER.data(), signatureDER.size(), data, payload.size()) == 1;
    } catch (...) {
        return false;
    }
}

}  // namespace marlowick::VentoyRegistrySignature
