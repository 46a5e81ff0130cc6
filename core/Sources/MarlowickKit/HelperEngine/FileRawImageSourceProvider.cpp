#include "HelperEngine/FileRawImageSourceProvider.hpp"

#include <filesystem>

#include "Image/CompressedRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"

namespace marlowick {
namespace {

// The provider hands out sources it owns alone; the decompressing wrapper shares its file source.
class SharedRawImageSource final : public RawImageSource {
public:
    explicit SharedRawImageSource(std::shared_ptr<const RawImageSource> source) : inner(std::move(source)) {}
    [[nodiscard]] std::optional<std::int64_t> sizeBytes() const override { return inner->sizeBytes(); }
    [[nodiscard]] RawImageOpenResult open() const override { return inner->open(); }

private:
    std::shared_ptr<const RawImageSource> inner;
};

}  // namespace

std::unique_ptr<RawImageSource> FileRawImageSourceProvider::source(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return std::make_unique<SharedRawImageSource>(
        CompressedRawImageSource::forName(name, std::make_shared<const FileRawImageSource>(path, fileOpener)));
}

}  // namespace marlowick
