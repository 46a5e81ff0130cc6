#pragma once
// The last good signed registry on disk: "ventoy.v1.json" (the document, byte for byte as
// served) and "ventoy.v1.json.sig" (its DER signature) in one directory. The signature
// is checked again on every read: a pair is trusted for as long as it verifies, never
// because it once did. There is no age limit.
//
// Reads and stores of every cache in the process take one lock, so a read never pairs
// one document with another document's signature while a store replaces them. Each file
// is replaced through AtomicFile (synced, then renamed over the old one; mode 0600) in a
// private directory (0700); another process writing the same directory is not guarded
// against.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Assets/VentoyRegistrySignedBytes.hpp"
#include "Assets/VentoyVersionRegistry.hpp"

namespace marlowick {

class VentoyRegistryCache {
public:
    // The application's registry cache is this directory under its cache root.
    static constexpr const char* directoryName = "ventoy-registry";
    static constexpr const char* documentFileName = "ventoy.v1.json";
    static constexpr const char* signatureFileName = "ventoy.v1.json.sig";

    explicit VentoyRegistryCache(std::filesystem::path directory);

    [[nodiscard]] const std::filesystem::path& directory() const { return folder; }

    // The pair once its signature verifies under the key; none for a missing or
    // unreadable file or a signature that does not verify. The document is not parsed.
    [[nodiscard]] std::optional<VentoyRegistrySignedBytes> signedBytes(std::string_view publicKeyBase64) const;
    // signedBytes(), parsed; none also for a document that does not parse.
    [[nodiscard]] std::optional<VentoyVersionRegistry> load(std::string_view publicKeyBase64) const;

    // Makes the directory (and missing parents, each 0700), then replaces the signature
    // and then the document. None when both are written; else what failed, as
    // "<operation> <path>: errno N (text)". A failure on the document leaves the new
    // signature beside the old document, a pair that fails every read until a store
    // succeeds.
    [[nodiscard]] std::optional<std::string> store(std::span<const std::uint8_t> payload,
                                                   std::span<const std::uint8_t> signature) const;

private:
    std::filesystem::path folder;
};

}  // namespace marlowick
