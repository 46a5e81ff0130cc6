#include "Install/VentoyBootFiles.hpp"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "Assets/Sha256.hpp"

namespace marlowick {
namespace {

// The whole file; none when it cannot be opened or read to its end.
std::optional<std::vector<std::uint8_t>> readWhole(const std::filesystem::path& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::uintmax_t>(file.gcount()) != size) return std::nullopt;
    // A file that grew since it was measured is not the file that was checked.
    if (file.peek() != std::ifstream::traits_type::eof()) return std::nullopt;
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

std::map<VentoyAsset, std::int64_t> VentoyBootFiles::sizes(const VentoyAssetSet& assets) {
    std::map<VentoyAsset, std::int64_t> sizes;
    for (const VentoyAsset asset : allVentoyAssets) {
        std::error_code error;
        const auto found = assets.files.find(asset);
        const auto size = found == assets.files.end() ? 0 : std::filesystem::file_size(found->second, error);
        sizes[asset] = error ? 0 : static_cast<std::int64_t>(size);
    }
    return sizes;
}

std::variant<VentoyBootFiles, std::string> VentoyBootFiles::load(const VentoyAssetSet& assets,
                                                                 const VentoyReleaseManifest& manifest) {
    VentoyBootFiles files;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::string name(outputFileName(asset));
        const auto found = assets.files.find(asset);
        auto bytes = found == assets.files.end() ? std::nullopt : readWhole(found->second);
        if (!bytes) return name + ": could not read the cached asset file";
        const std::string actual = Sha256::hex(*bytes);
        const std::string& expected = manifest.checksum(asset).decompressedSha256();
        if (actual != expected) {
            return name + " SHA-256 " + actual + " does not match the release manifest's " + expected;
        }
        slot(files, asset) = std::move(*bytes);
    }
    return files;
}

}  // namespace marlowick
