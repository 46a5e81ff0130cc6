#pragma once
// The registry's detached signature: one DER-encoded ECDSA signature (a SEQUENCE of the
// INTEGERs r and s) over the SHA-256 digest of the document's exact bytes, made with
// the registry-signing P-256 key. Pure; safe on any thread; leaves nothing on
// OpenSSL's per-thread error queue.

#include <cstdint>
#include <span>
#include <string_view>

namespace marlowick::VentoyRegistrySignature {

// The registry-signing public key compiled into the library, and so into both
// programs: standard base64 of a DER SubjectPublicKeyInfo of a P-256 key. It is set
// when the library is configured (MARLOWICK_REGISTRY_PUBLIC_KEY) and nothing at run
// time can replace it.
extern const std::string_view pinnedPublicKeyBase64;

// True only when `signatureDER` is a valid signature of `payload` under the given key.
// False, never an exception, for: a key text that is not canonical base64, decoded
// bytes that are not exactly one DER SubjectPublicKeyInfo of an EC key on P-256, a
// signature that is not exactly one strict-DER ECDSA signature, a signature that does
// not match, and any failure inside OpenSSL. The payload is hashed as given: no
// trimming, re-encoding or canonical form.
[[nodiscard]] bool verify(std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signatureDER,
                          std::string_view publicKeyBase64) noexcept;

}  // namespace marlowick::VentoyRegistrySignature
