#include "Assets/VentoyAssetExtractor.hpp"

#include <algorithm>

#include "Assets/Decompressor.hpp"
#include "Bytes/Sha256.hpp"
#include "Assets/TarReader.hpp"
#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

using Failure = VentoyExtractionResult::Failure;
using Reason = VentoyExtractionReason;

VentoyExtractionResult failure(Reason reason, std::string detail) {
    return {Failure{reason, std::move(detail)}};
}

// An xz member may decode to one byte past its pinned size, so that a file that is too
// long is told apart (a size mismatch) from a stream that is broken or a bomb; never past
// the cap of the whole tar stream, whatever a manifest says.
std::size_t xzOutputLimit(const VentoyReleaseManifest::AssetChecksum& checksum) {
    const auto pinned = static_cast<std::uint64_t>(checksum.decompressedSizeBytes());
    return static_cast<std::size_t>(std::min<std::uint64_t>(pinned + 1, Decompressor::defaultOutputLimitBytes));
}

}  // namespace

void PrintTo(VentoyExtractionReason reason, std::ostream* os) { *os << ventoyExtractionReasonRawValues.text(reason); }

void PrintTo(const VentoyExtractionResult& result, std::ostream* os) {
    if (const auto* success = std::get_if<VentoyExtractionResult::Success>(&result.value)) {
        CaseDescription described("success");
        described.field("version", success->version);
        for (const auto& [asset, bytes] : success->assets) {
            described.rawField(render(asset), std::to_string(bytes.size()) + " bytes");
        }
        *os << described.str();
        return;
    }
    const auto& failed = std::get<Failure>(result.value);
    *os << CaseDescription("failure")
               .rawField("reason", ventoyExtractionReasonRawValues.text(failed.reason))
               .field("detail", failed.detail)
               .str();
}

VentoyExtractionResult VentoyAssetExtractor::extract(std::span<const std::uint8_t> archive,
                                                     const VentoyReleaseManifest& manifest) {
    std::vector<TarMember> members;
    {
        std::vector<std::uint8_t> tarStream;
        try {
            tarStream = Decompressor::gunzip(archive, tarStreamLimitBytes);
        } catch (const DecompressionError& error) {
            return failure(Reason::malformed, "Failed to gunzip archive: " + render(error.value));
        }
        try {
            members = TarReader::members(tarStream);
        } catch (const TarError& error) {
            return failure(Reason::malformed, "Failed to read tar archive: " + render(error.value));
        }
    }  // the tar stream is released here; the members hold their own copies

    VentoyExtractionResult::Success extracted{manifest.version(), {}};
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::string_view suffix = memberPathSuffix(asset);
        const auto member = std::find_if(members.begin(), members.end(),
                                         [suffix](const TarMember& m) { return m.name.ends_with(suffix); });
        if (member == members.end()) {
            return failure(Reason::missingMember,
                           "Archive is missing the member ending in '" + std::string(suffix) + "'");
        }
        const auto& checksum = manifest.checksum(asset);
        const std::string name = render(asset);
        const auto storedBytes = static_cast<std::int64_t>(member->data.size());
        if (storedBytes != checksum.compressedSizeBytes()) {
            return failure(Reason::sizeMismatch, name + ": stored member is " + std::to_string(storedBytes) +
                                                     " bytes, expected " +
                                                     std::to_string(checksum.compressedSizeBytes()));
        }
        std::vector<std::uint8_t> bytes;
        if (xzCompressed(asset)) {
            try {
                bytes = Decompressor::unxz(member->data, xzOutputLimit(checksum));
            } catch (const DecompressionError& error) {
                return failure(Reason::malformed,
                               name + ": failed to decompress .xz member: " + render(error.value));
            }
        } else {
            bytes = std::move(member->data);
        }
        const auto decompressedBytes = static_cast<std::int64_t>(bytes.size());
        if (decompressedBytes != checksum.decompressedSizeBytes()) {
            return failure(Reason::sizeMismatch, name + ": decompressed to " + std::to_string(decompressedBytes) +
                                                     " bytes, expected " +
                                                     std::to_string(checksum.decompressedSizeBytes()));
        }
        const std::string digest = Sha256::hex(bytes);
        if (digest != checksum.decompressedSha256()) {
            return failure(Reason::hashMismatch, name + ": decompressed SHA-256 " + digest + ", expected " +
                                                     checksum.decompressedSha256());
        }
        extracted.assets.emplace(asset, std::move(bytes));
    }
    return {std::move(extracted)};
}

}  // namespace marlowick
