#pragma once
// Turns a downloaded release archive (a gzip-compressed tar file) into the three boot
// files, each checked against the manifest: the stored member's size, then the size and
// SHA-256 of the decompressed file. In memory only; never throws, never writes a file.
// Members are picked by the end of their names; a name is never used as a path.
//
// Memory is bounded whatever the archive holds: the tar stream may decode to at most
// 1 GiB, and each xz member to one byte more than the manifest's decompressed size (the
// extra byte lets an oversized file be reported as a size mismatch); a stream that would
// give more ends in `malformed`.

#include <cstdint>
#include <map>
#include <ostream>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "Assets/VentoyAsset.hpp"
#include "Assets/VentoyReleaseManifest.hpp"
#include "Text/RawValueTable.hpp"

namespace marlowick {

enum class VentoyExtractionReason { missingMember, sizeMismatch, hashMismatch, malformed };

inline constexpr RawValueTable<VentoyExtractionReason, 4> ventoyExtractionReasonRawValues{
    {"missingMember", "sizeMismatch", "hashMismatch", "malformed"}};

struct VentoyExtractionResult {
    struct Success {
        std::string version;  // the manifest's, whatever folder the archive's members sit in
        std::map<VentoyAsset, std::vector<std::uint8_t>> assets;  // decompressed; always all three
        bool operator==(const Success&) const = default;
    };
    struct Failure {
        VentoyExtractionReason reason;
        std::string detail;  // one line: "coreImg: decompressed to 12 bytes, expected 1048064"
        bool operator==(const Failure&) const = default;
    };
    using Case = std::variant<Success, Failure>;

    Case value;
    bool operator==(const VentoyExtractionResult&) const = default;
};

void PrintTo(VentoyExtractionReason reason, std::ostream* os);
// "success(version: \"1.1.17\", bootImg: 512 bytes, …)" or "failure(reason: malformed, detail: \"…\")"
void PrintTo(const VentoyExtractionResult& result, std::ostream* os);

namespace VentoyAssetExtractor {

// The most the archive's tar stream may decode to.
inline constexpr std::size_t tarStreamLimitBytes = std::size_t{1} << 30;

[[nodiscard]] VentoyExtractionResult extract(std::span<const std::uint8_t> archive,
                                             const VentoyReleaseManifest& manifest);

}  // namespace VentoyAssetExtractor
}  // namespace marlowick
