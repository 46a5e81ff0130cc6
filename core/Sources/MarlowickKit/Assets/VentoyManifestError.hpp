#pragma once
// Why a release manifest or one of its checksum records was refused. Thrown only by
// the validating constructors of VentoyReleaseManifest and its AssetChecksum; the
// value carries no sentence of its own, callers describe it with render().

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <variant>

namespace marlowick {

struct VentoyManifestError : std::runtime_error {
    struct ArchiveHashWrongLength {
        std::int64_t count;
        bool operator==(const ArchiveHashWrongLength&) const = default;
    };
    struct NonPositiveArchiveSize {
        std::int64_t size;
        bool operator==(const NonPositiveArchiveSize&) const = default;
    };
    struct IncompleteAssetCoverage {
        std::int64_t expected;
        std::int64_t found;
        bool operator==(const IncompleteAssetCoverage&) const = default;
    };
    struct InvalidMinimumAppVersion {
        std::int64_t value;
        bool operator==(const InvalidMinimumAppVersion&) const = default;
    };
    struct DownloadBaseUrlNotHttps {
        std::string address;
        bool operator==(const DownloadBaseUrlNotHttps&) const = default;
    };
    struct CompressedHashWrongLength {
        std::int64_t count;
        bool operator==(const CompressedHashWrongLength&) const = default;
    };
    struct DecompressedHashWrongLength {
        std::int64_t count;
        bool operator==(const DecompressedHashWrongLength&) const = default;
    };
    struct NonPositiveCompressedSize {
        std::int64_t size;
        bool operator==(const NonPositiveCompressedSize&) const = default;
    };
    struct NonPositiveDecompressedSize {
        std::int64_t size;
        bool operator==(const NonPositiveDecompressedSize&) const = default;
    };
    struct BlankVersion {
        bool operator==(const BlankVersion&) const = default;
    };
    using Case = std::variant<ArchiveHashWrongLength, NonPositiveArchiveSize, IncompleteAssetCoverage,
                              InvalidMinimumAppVersion, DownloadBaseUrlNotHttps, CompressedHashWrongLength,
                              DecompressedHashWrongLength, NonPositiveCompressedSize, NonPositiveDecompressedSize,
                              BlankVersion>;

    explicit VentoyManifestError(Case c);  // what() == render(value)
    Case value;
};

// "archiveHashWrongLength(count: 63)", "nonPositiveArchiveSize(0)", "blankVersion"
[[nodiscard]] std::string render(const VentoyManifestError::Case& error);
void PrintTo(const VentoyManifestError& error, std::ostream* os);

}  // namespace marlowick
