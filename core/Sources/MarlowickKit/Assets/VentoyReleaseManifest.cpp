#include "Assets/VentoyReleaseManifest.hpp"

#include <memory>

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include "Text/CaseDescription.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

// Length as a user reads it: user-perceived characters (extended grapheme clusters),
// so "é" written as e + combining accent counts once. For the ASCII digests of every
// real manifest this is simply the byte count.
std::int64_t characterCount(const std::string& text) {
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) return unicode.countChar32();
    characters->setText(unicode);
    std::int64_t count = 0;
    for (std::int32_t boundary = characters->next(); boundary != icu::BreakIterator::DONE;
         boundary = characters->next()) {
        ++count;
    }
    return count;
}

bool coversEveryAsset(const std::map<VentoyAsset, VentoyReleaseManifest::AssetChecksum>& assets) {
    if (assets.size() != allVentoyAssets.size()) return false;
    for (const VentoyAsset asset : allVentoyAssets) {
        if (!assets.contains(asset)) return false;
    }
    return true;
}

void fail(VentoyManifestError::Case error) { throw VentoyManifestError(std::move(error)); }

}  // namespace

VentoyReleaseManifest::AssetChecksum::AssetChecksum(std::string memberPath, std::string compressedSha256,
                                                    std::int64_t compressedSizeBytes, std::string decompressedSha256,
                                                    std::int64_t decompressedSizeBytes)
    : memberPathValue(std::move(memberPath)),
      compressedSha256Value(std::move(compressedSha256)),
      compressedSizeValue(compressedSizeBytes),
      decompressedSha256Value(std::move(decompressedSha256)),
      decompressedSizeValue(decompressedSizeBytes) {
    if (const auto count = characterCount(compressedSha256Value); count != sha256HexLength) {
        fail(VentoyManifestError::CompressedHashWrongLength{count});
    }
    if (const auto count = characterCount(decompressedSha256Value); count != sha256HexLength) {
        fail(VentoyManifestError::DecompressedHashWrongLength{count});
    }
    if (compressedSizeValue < 1) fail(VentoyManifestError::NonPositiveCompressedSize{compressedSizeValue});
    if (decompressedSizeValue < 1) fail(VentoyManifestError::NonPositiveDecompressedSize{decompressedSizeValue});
}

VentoyReleaseManifest::VentoyReleaseManifest(std::string version, std::string archiveName,
                                             std::string archiveSha256, std::int64_t archiveSizeBytes,
                                             std::map<VentoyAsset, AssetChecksum> assets,
                                             std::int64_t minimumAppVersion, std::string downloadBaseUrl)
    : versionValue(std::move(version)),
      archiveNameValue(std::move(archiveName)),
      archiveSha256Value(std::move(archiveSha256)),
      archiveSizeValue(archiveSizeBytes),
      assetsValue(std::move(assets)),
      minimumAppVersionValue(minimumAppVersion),
      downloadBaseUrlValue(std::move(downloadBaseUrl)) {
    if (isBlank(versionValue)) fail(VentoyManifestError::BlankVersion{});
    if (const auto count = characterCount(archiveSha256Value); count != sha256HexLength) {
        fail(VentoyManifestError::ArchiveHashWrongLength{count});
    }
    if (archiveSizeValue < 1) fail(VentoyManifestError::NonPositiveArchiveSize{archiveSizeValue});
    if (!coversEveryAsset(assetsValue)) {
        fail(VentoyManifestError::IncompleteAssetCoverage{static_cast<std::int64_t>(allVentoyAssets.size()),
                                                          static_cast<std::int64_t>(assetsValue.size())});
    }
    if (minimumAppVersionValue < 1) fail(VentoyManifestError::InvalidMinimumAppVersion{minimumAppVersionValue});
    if (!downloadBaseUrlValue.starts_with("https://")) {
        fail(VentoyManifestError::DownloadBaseUrlNotHttps{downloadBaseUrlValue});
    }
}

std::string VentoyReleaseManifest::releaseSourceURLString() const {
    return std::string(projectSourceUrl) + "/releases/tag/v" + versionValue;
}

const VentoyReleaseManifest& VentoyReleaseManifest::manifest(const std::optional<std::string>& forVersion) {
    if (!forVersion || forVersion->empty()) return pinned();
    for (const VentoyReleaseManifest& candidate : available()) {
        if (candidate.version() == *forVersion) return candidate;
    }
    return pinned();
}

void PrintTo(const VentoyReleaseManifest& manifest, std::ostream* os) {
    *os << CaseDescription("VentoyReleaseManifest")
               .field("version", manifest.version())
               .field("archiveName", manifest.archiveName())
               .str();
}

}  // namespace marlowick
