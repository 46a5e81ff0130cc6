#pragma once
// Signed registries for tests: the committed test-only P-256 key pair, signatures made
// by the openssl command line (an independent signer), and a registry release record
// that the parser keeps as it stands.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <string_view>

#include <nlohmann/json.hpp>

namespace marlowick::test {

using Bytes = std::vector<std::uint8_t>;

// The registry key release builds trust, spelled out: a build may compile in another.
inline constexpr std::string_view releaseKeyBase64 =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEBx7Qm2LpZt4Wk9NcVr3Hs8JdYf6Ga1Eu5Ki0Oo2Pl7Mn4Bv8Cx3Za6Sq9Wd1Ef5Rg2Th7Yj4Uk0Il3Op8As6Dw==";

// The test key's private half (PEM) and its public half as the library takes it.
std::filesystem::path registryTestPrivateKey();
std::string registryTestPublicKeyBase64();

// `openssl dgst -sha256 -sign key`: a DER ECDSA signature over the exact bytes.
Bytes opensslSign(const Bytes& payload, const std::filesystem::path& privateKeyPem);
// A fresh private key from `openssl genpkey` with the given algorithm options,
// e.g. "-algorithm EC -pkeyopt ec_paramgen_curve:secp384r1", written into `folder`.
std::filesystem::path opensslGenerateKey(const std::filesystem::path& folder, const std::string& options);
// The public half of a PEM private key as base64 of its DER SubjectPublicKeyInfo.
std::string opensslPublicKeyBase64(const std::filesystem::path& privateKeyPem);

Bytes bytesOf(const std::string& text);

// A release record the parser keeps: all three assets sound, a core.img and a
// ventoy.disk.img of whole sectors, an allowed https base of its own.
nlohmann::json soundReleaseRecord(const std::string& version);
// {"schemaVersion": 1, "releases": [records...]}, serialised.
Bytes registryDocument(const std::vector<nlohmann::json>& records);

}  // namespace marlowick::test
