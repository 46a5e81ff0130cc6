#pragma once
// The warnings to show before an inspected image is written over a whole drive. Pure:
// header and file size in, notices out.

#include "Image/IsoHeader.hpp"
#include "Image/RawWritePreflightNotice.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marlowick::RawWritePreflight {

// In this order: truncated (file shorter than declared), noBootRecord, biosOnly. Only the
// header's size and evidence count, not its inspection, so an image can carry several.
// `fileBytes` is what the image stream will deliver: the sizeBytes() of the source the
// header was read through. It is absent for a compressed file, whose size on disk says
// nothing about the image inside it and would pass for a truncated image.
[[nodiscard]] std::vector<RawWritePreflightNotice> notices(const IsoHeader& header,
                                                          std::optional<std::int64_t> fileBytes);

[[nodiscard]] bool truncated(std::int64_t declaredBytes, std::int64_t fileBytes);

// Both sizes as file sizes ("4.7 GB"); when those read alike although the sizes differ,
// both as exact byte counts ("4,700,000,000 bytes"). `locale` as for ByteCountText.
[[nodiscard]] std::pair<std::string, std::string> distinguishableSizes(std::int64_t a, std::int64_t b,
                                                                       std::string_view locale = {});

}  // namespace marlowick::RawWritePreflight
