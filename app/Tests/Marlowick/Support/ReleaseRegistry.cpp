#include "Support/ReleaseRegistry.hpp"

#include <map>

#include "Assets/RegistrySigning.hpp"

namespace marlowick::testing {

nlohmann::json registryRecord(const VentoyReleaseManifest& manifest) {
    nlohmann::json record = test::soundReleaseRecord(manifest.version());
    record["archiveName"] = manifest.archiveName();
    record["archiveSha256"] = manifest.archiveSha256();
    record["archiveSizeBytes"] = manifest.archiveSizeBytes();
    const std::map<VentoyAsset, const char*> keys{
        {VentoyAsset::bootImg, "BOOT_IMG"}, {VentoyAsset::coreImg, "CORE_IMG"}, {VentoyAsset::ventoyDiskImg, "VENTOY_DISK_IMG"}};
    for (const auto& [asset, key] : keys) {
        const VentoyReleaseManifest::AssetChecksum& checksum = manifest.checksum(asset);
        record["assets"][key] = {{"memberPath", checksum.memberPath()},
                                 {"compressedSha256", checksum.compressedSha256()},
                                 {"compressedSizeBytes", checksum.compressedSizeBytes()},
                                 {"decompressedSha256", checksum.decompressedSha256()},
                                 {"decompressedSizeBytes", checksum.decompressedSizeBytes()}};
    }
    return record;
}

}  // namespace marlowick::testing
