#include "HelperEngine/EngineTestSupport.hpp"

#include <map>

#include "Assets/RegistrySigning.hpp"
#include "Assets/VentoyRegistrySignature.hpp"
#include "Exfat/DefaultExfatFormatter.hpp"
#include "HelperEngine/FileRawImageSourceProvider.hpp"

namespace marlowick::test {
namespace {

class ProvidedDevice final : public BlockDevice {
public:
    ProvidedDevice(std::shared_ptr<BlockDevice> medium, BlockAccessMode access, std::shared_ptr<int> closeCount)
        : mediumDevice(std::move(medium)), accessMode(access), closes(std::move(closeCount)) {}

    [[nodiscard]] int sectorSize() const override { return mediumDevice->sectorSize(); }
    [[nodiscard]] std::int64_t sectorCount() const override { return mediumDevice->sectorCount(); }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override {
        if (closed) return BlockError{BlockError::Closed{"read"}};
        return mediumDevice->readSectors(startSector, sectorCount);
    }
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override {
        if (closed) return BlockError{BlockError::Closed{"write"}};
        if (accessMode == BlockAccessMode::readOnly) {
            return BlockError{BlockError::DeviceFailure{"write", "opened read-only"}};
        }
        return mediumDevice->writeSectors(startSector, data);
    }
    [[nodiscard]] BlockFlushResult flush() override {
        if (closed) return BlockError{BlockError::Closed{"flush"}};
        return mediumDevice->flush();
    }
    void close() override {
        closed = true;
        ++*closes;
    }

private:
    std::shared_ptr<BlockDevice> mediumDevice;
    BlockAccessMode accessMode;
    std::shared_ptr<int> closes;
    bool closed = false;
};

const std::map<VentoyAsset, const char*> registryAssetKeys{
    {VentoyAsset::bootImg, "BOOT_IMG"}, {VentoyAsset::coreImg, "CORE_IMG"}, {VentoyAsset::ventoyDiskImg, "VENTOY_DISK_IMG"}};

}  // namespace

HelperDeviceOpenResult RecordingDeviceProvider::open(const HelperDiskRef&, BlockAccessMode access) {
    openLog.push_back(access);
    if (openFailure) return *openFailure;
    return std::make_unique<ProvidedDevice>(mediumDevice, access, closeCount);
}

HelperDiskRef diskOf(const BlockDevice& medium) {
    return HelperDiskRef("/dev/sdx", medium.sectorSize(), medium.sectorCount(), std::nullopt);
}

MarlowickEngineRunner engineWith(std::shared_ptr<RecordingDeviceProvider> devices,
                                 std::shared_ptr<HelperRawImageSourceProvider> images) {
    if (!images) images = std::make_shared<FileRawImageSourceProvider>();
    return MarlowickEngineRunner(std::move(devices), std::move(images), defaultInstaller(),
                                 DriveFormatter(std::make_shared<DefaultExfatFormatter>()), RawImageWriter());
}

std::optional<TrustedBootFiles> trustedBootFiles(std::string& skipReason) {
    if (VentoyRegistrySignature::pinnedPublicKeyBase64 != registryTestPublicKeyBase64()) {
        skipReason = "this build does not trust the tests' registry key (configure MARLOWICK_REGISTRY_PUBLIC_KEY "
                     "as scripts/test.sh does)";
        return std::nullopt;
    }
    std::unique_ptr<VentoyFixture> fixture = VentoyFixture::make(skipReason, registryOnlyVersion);
    if (!fixture) return std::nullopt;
    nlohmann::json record = soundReleaseRecord(registryOnlyVersion);
    const VentoyReleaseManifest manifest = fixture->manifest();
    for (const auto& [asset, key] : registryAssetKeys) {
        record["assets"][key]["decompressedSha256"] = manifest.checksum(asset).decompressedSha256();
        record["assets"][key]["decompressedSizeBytes"] = manifest.checksum(asset).decompressedSizeBytes();
    }
    const Bytes payload = registryDocument({record});
    HelperAssetRefSet assets(fixture->assets, HelperSignedRegistry{payload, opensslSign(payload, registryTestPrivateKey())});
    return TrustedBootFiles{std::move(fixture), std::move(assets)};
}

std::vector<std::string> ProgressLog::stageNames() const {
    std::vector<std::string> names;
    for (const HelperProgress& progress : records) {
        const std::string name(rawValue(progress.stage));
        if (names.empty() || names.back() != name) names.push_back(name);
    }
    return names;
}

}  // namespace marlowick::test
