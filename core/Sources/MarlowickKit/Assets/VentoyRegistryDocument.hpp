#pragma once
// The registry document as JSON types, before any release is validated. Decoding is
// all or nothing: bytes that are not JSON (invalid UTF-8 included), a top level that is
// not an object, a value of the wrong JSON type or a missing required key anywhere
// yields nullopt, never a partial document. JSON null counts as absent; unknown keys
// are ignored. Integer fields take only integer literals that fit in 64 signed bits:
// a fraction, an exponent or a larger number is the wrong type. Of duplicate keys in
// one object the last wins.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace marlowick::VentoyRegistryDocument {

struct AssetDTO {
    std::string memberPath;
    std::string compressedSha256;
    std::int64_t compressedSizeBytes = 0;
    std::string decompressedSha256;
    std::int64_t decompressedSizeBytes = 0;
};

struct ReleaseDTO {
    std::string version;
    std::optional<bool> enabled;
    std::optional<bool> current;
    std::optional<bool> visible;
    std::optional<std::string> verifiedOn;
    std::optional<std::int64_t> minimumAppVersion;
    std::string archiveName;
    std::string archiveSha256;
    std::int64_t archiveSizeBytes = 0;
    std::optional<std::string> downloadBaseUrl;
    // Every entry of the document's `assets` object, known asset key or not.
    std::vector<std::pair<std::string, AssetDTO>> assets;
};

struct RegistryDTO {
    std::optional<std::int64_t> schemaVersion;
    std::optional<std::string> downloadBaseUrl;
    std::optional<std::vector<ReleaseDTO>> releases;
};

[[nodiscard]] std::optional<RegistryDTO> decode(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace marlowick::VentoyRegistryDocument
