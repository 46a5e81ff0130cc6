#pragma once
// How an image file is compressed, judged by its name alone, and whether a name denotes a
// raw ".img" image. Pure text functions.

#include <string>
#include <string_view>

#include "Text/RawValueTable.hpp"

namespace marlowick {

enum class ImageCompression { none, gzip, xz };

inline constexpr RawValueTable<ImageCompression, 3> imageCompressionRawValues{{"none", "gzip", "xz"}};

namespace ImageCompressionNames {
// Trims white space, then ".gz" gives gzip and ".xz" gives xz, in any letter case.
[[nodiscard]] ImageCompression detect(std::string_view name);
// The trimmed name without a trailing ".gz" or ".xz"; the rest keeps its letter case.
[[nodiscard]] std::string stripCompressionSuffix(std::string_view name);
}  // namespace ImageCompressionNames

namespace RawImageNames {
// True for names such as disk.img, DISK.IMG.GZ and disk.img.xz.
[[nodiscard]] bool isRawImage(std::string_view name);
}  // namespace RawImageNames

}  // namespace marlowick
