#pragma once
// The image files of raw writes, as the helper reads them: a local file, decompressed on
// the fly when its name ends ".gz" or ".xz". Nothing is opened until the source is.

#include <memory>
#include <string>

#include "Helper/HelperBlockDeviceProvider.hpp"

namespace marlowick {

class FileRawImageSourceProvider final : public HelperRawImageSourceProvider {
public:
    // The compression is judged by the last path component, the bytes come from the whole path.
    [[nodiscard]] std::unique_ptr<RawImageSource> source(const std::string& path) override;
};

}  // namespace marlowick
