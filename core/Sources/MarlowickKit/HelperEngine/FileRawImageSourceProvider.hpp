#pragma once
// The image files of raw writes, as the helper reads them: a local file, decompressed on
// the fly when its name ends ".gz" or ".xz", opened through the given opener (with the
// caller's rights in the helper; with this process's own when none is given).

#include <memory>
#include <string>

#include "Block/FileOpener.hpp"
#include "HelperEngine/HelperBlockDeviceProvider.hpp"

namespace marlowick {

class FileRawImageSourceProvider final : public HelperRawImageSourceProvider {
public:
    explicit FileRawImageSourceProvider(std::shared_ptr<const FileOpener> opener = nullptr)
        : fileOpener(std::move(opener)) {}

    // The compression is judged by the last path component, the bytes come from the whole path.
    [[nodiscard]] std::unique_ptr<RawImageSource> source(const std::string& path) override;

private:
    std::shared_ptr<const FileOpener> fileOpener;
};

}  // namespace marlowick
