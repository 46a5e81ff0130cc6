#include "Install/VentoyBootFiles.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "Bytes/Sha256.hpp"
#include "Image/SourceFile.hpp"

namespace marlowick {
namespace {

std::optional<SourceFile> opened(const VentoyAssetSet& assets, VentoyAsset asset, const FileOpener& opener) {
    const auto found = assets.files.find(asset);
    if (found == assets.files.end()) return std::nullopt;
    auto file = SourceFile::open(found->second.string(), opener);
    if (auto* regular = std::get_if<SourceFile>(&file)) return std::move(*regular);
    return std::nullopt;
}

// Exactly `count` bytes from the start of the file; none when it ends sooner, cannot be
// read, or is no longer `count` bytes long once read (it changed under the read).
std::optional<std::vector<std::uint8_t>> readExactly(const SourceFile& file, std::int64_t count) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.descriptor(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    struct stat after {};
    if (::fstat(file.descriptor(), &after) != 0 || after.st_size != count) return std::nullopt;
    return bytes;
}

std::vector<std::uint8_t>& slot(VentoyBootFiles& files, VentoyAsset asset) {
    switch (asset) {
        case VentoyAsset::bootImg: return files.bootImg;
        case VentoyAsset::coreImg: return files.coreImg;
        case VentoyAsset::ventoyDiskImg: break;
    }
    return files.ventoyDiskImg;
}

}  // namespace

std::span<const std::uint8_t> VentoyBootFiles::bytes(VentoyAsset asset) const {
    switch (asset) {
        case VentoyAsset::bootImg: return bootImg;
        case VentoyAsset::coreImg: return coreImg;
        case VentoyAsset::ventoyDiskImg: break;
    }
    return ventoyDiskImg;
}

std::map<VentoyAsset, std::int64_t> VentoyBootFiles::sizes(const VentoyAssetSet& assets, const FileOpener& opener) {
    std::map<VentoyAsset, std::int64_t> sizes;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::optional<SourceFile> file = opened(assets, asset, opener);
        sizes[asset] = file ? file->sizeBytes() : 0;
    }
    return sizes;
}

std::variant<VentoyBootFiles, std::string> VentoyBootFiles::load(const VentoyAssetSet& assets,
                                                                 const VentoyReleaseManifest& manifest,
                                                                 const FileOpener& opener) {
    VentoyBootFiles files;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::string name(outputFileName(asset));
        const std::optional<SourceFile> file = opened(assets, asset, opener);
        if (!file) return name + ": could not read the cached asset file";
        const VentoyReleaseManifest::AssetChecksum& checksum = manifest.checksum(asset);
        const std::int64_t expectedSize = checksum.decompressedSizeBytes();
        if (file->sizeBytes() != expectedSize) {
            return name + " is " + std::to_string(file->sizeBytes()) + " bytes, expected " +
                   std::to_string(expectedSize);
        }
        auto bytes = readExactly(*file, expectedSize);
        if (!bytes) return name + ": could not read the cached asset file";
        if (Sha256::hex(*bytes) != checksum.decompressedSha256()) {
            return name + " does not match the release manifest's SHA-256 " + checksum.decompressedSha256();
        }
        slot(files, asset) = std::move(*bytes);
    }
    return files;
}

}  // namespace marlowick
