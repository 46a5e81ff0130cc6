#include "HelperEngine/MarlowickEngineRunner.hpp"

#include <stdexcept>
#include <utility>
#include <variant>

#include "Assets/VentoyRegistrySignature.hpp"
#include "Detect/VentoyDriveDetector.hpp"
#include "Detect/VentoyVersionReader.hpp"
#include "Fat32/Fat32Structures.hpp"
#include "HelperWire/HelperOptions.hpp"
#include "Install/VentoyBootFiles.hpp"
#include "Install/VentoyInstallOptionsError.hpp"
#include "Install/VentoyInstallValidation.hpp"

namespace marlowick {
namespace {

using Kind = HelperDriveOperationReport::Kind;
template <class Value>
using OrRefusal = std::variant<Value, HelperCommandError>;

HelperResult failed(HelperCommandError error) { return {HelperResult::Failed{std::move(error)}}; }

HelperCommandError invalidOptions(std::string detail) {
    return {HelperCommandError::InvalidOptions{std::move(detail)}};
}

HelperResult driveOperation(HelperDriveOperationReport report) {
    return {HelperResult::DriveOperation{std::move(report)}};
}

// The engine value of wire options, or the mapping's refusal in its own words.
template <class Map>
auto mapped(const Map& map) -> OrRefusal<decltype(map())> {
    try {
        return map();
    } catch (const HelperOptionMappingError& error) {
        return invalidOptions(render(error.value));
    } catch (const VentoyInstallOptionsError& error) {
        return invalidOptions(render(error.value));
    }
}

// The manifest that vouches for the boot files, once their bytes are checked against it.
// The installer checks them again after the open; checking here first means a swapped or
// damaged file is refused while the drive is still mounted and untouched.
OrRefusal<VentoyReleaseManifest> trustedRelease(const HelperAssetRefSet& assets, const FileOpener& opener) {
    std::optional<VentoyReleaseManifest> manifest =
        assets.trustedManifest(VentoyReleaseManifest::available(), VentoyRegistrySignature::pinnedPublicKeyBase64);
    if (!manifest) return invalidOptions("Ventoy " + assets.version + " is not a verified release");
    auto checked = VentoyBootFiles::load(assets.assetSet(), *manifest, opener);
    if (auto* refusal = std::get_if<std::string>(&checked)) return invalidOptions(std::move(*refusal));
    return std::move(*manifest);
}

// Opens the device, runs `body` on it and closes it on every way out; a failed open is
// the provider's error and runs nothing.
template <class Body>
HelperResult withDevice(HelperBlockDeviceProvider& provider, const HelperDiskRef& disk, BlockAccessMode access,
                        const Body& body) {
    HelperDeviceOpenResult opened = provider.open(disk, access);
    if (auto* error = std::get_if<HelperCommandError>(&opened)) return failed(std::move(*error));
    const std::unique_ptr<BlockDevice> device = std::move(std::get<std::unique_ptr<BlockDevice>>(opened));
    struct Closer {
        BlockDevice& device;
        ~Closer() { device.close(); }
    } closer{*device};
    return body(*device);
}

// Converts to the progress handler of every operation: each stage becomes the wire stage
// of the same name, with the operation's byte counts.
auto wireProgress(const HelperProgressHandler& onProgress) {
    return [&onProgress](auto stage, const std::optional<ByteProgress>& progress) {
        if (onProgress) onProgress(HelperProgress(stage, progress));
    };
}

auto cancellation(const HelperCancelCheck& isCancelled) {
    return [&isCancelled] { return isCancelled && isCancelled(); };
}

std::optional<std::string> installedVersion(BlockDevice& device, const VentoyLayout& layout) {
    const VentoyVersionResult result =
        VentoyVersionReader::read(device, layout, MarlowickEngineRunner::versionScanChunkSectors);
    if (const auto* found = std::get_if<VentoyVersionResult::Found>(&result.value)) return found->version;
    return std::nullopt;
}

// exFAT first; a data partition that is not exFAT may be FAT32. A failed read gives no usage.
std::optional<HelperDriveUsage> usage(BlockDevice& device, const VentoyLayout& layout) {
    const ExfatFreeSpaceResult exfat =
        ExfatDirectoryReader::readFreeSpace(device, layout, MarlowickEngineRunner::exfatReadOptions);
    if (!std::holds_alternative<ExfatFreeSpaceResult::NotExfat>(exfat.value)) return HelperDriveUsage::from(exfat);
    const std::optional<Fat32Structures::FreeSpace> fat32 =
        Fat32Structures::readFreeSpace(device, layout.part1StartSector);
    if (!fat32) return std::nullopt;
    return HelperDriveUsage{fat32->freeBytes, fat32->totalBytes, std::string(rawValue(DriveFilesystem::fat32))};
}

}  // namespace

MarlowickEngineRunner::MarlowickEngineRunner(std::shared_ptr<HelperBlockDeviceProvider> devices,
                                             std::shared_ptr<HelperRawImageSourceProvider> images,
                                             VentoyInstaller ventoyInstaller, DriveFormatter driveFormatter,
                                             RawImageWriter imageWriter)
    : deviceProvider(std::move(devices)),
      rawImageProvider(std::move(images)),
      installer(std::move(ventoyInstaller)),
      formatter(std::move(driveFormatter)),
      rawImageWriter(imageWriter) {
    if (!deviceProvider || !rawImageProvider) throw std::invalid_argument("MarlowickEngineRunner needs both providers");
}

HelperResult MarlowickEngineRunner::run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                        const HelperCancelCheck& isCancelled) {
    const Callbacks callbacks{onProgress, isCancelled};
    return std::visit([&](const auto& request) { return runCase(request, callbacks); }, command.value);
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::Detect& command, const Callbacks&) {
    return withDevice(*deviceProvider, command.disk, BlockAccessMode::readOnly, [](BlockDevice& device) {
        const VentoyDetectionResult detection = VentoyDriveDetector::detect(device);
        if (const auto* failure = std::get_if<VentoyDetectionResult::ReadFailed>(&detection.value)) {
            return HelperResult{HelperResult::DetectReadFailed{HelperBlockError(failure->error)}};
        }
        const VentoyDriveStatus& status = std::get<VentoyDetectionResult::Detected>(detection.value).status;
        std::optional<std::string> version;
        std::optional<HelperDriveUsage> dataUsage;
        if (const auto* ventoy = std::get_if<VentoyDriveStatus::Ventoy>(&status.value)) {
            version = installedVersion(device, ventoy->layout);
            dataUsage = usage(device, ventoy->layout);
        }
        return HelperResult{HelperResult::Detected{HelperDriveStatus(status, std::move(version), std::move(dataUsage))}};
    });
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::Prepare& command, const Callbacks& callbacks) {
    const auto options = mapped([&] { return command.options.engineOptions(); });
    if (const auto* refusal = std::get_if<HelperCommandError>(&options)) return failed(*refusal);
    const auto manifest = trustedRelease(command.assets, installer.bootFileOpener());
    if (const auto* refusal = std::get_if<HelperCommandError>(&manifest)) return failed(*refusal);
    // The installer would refuse this too, but only after the open has unmounted the drive.
    if (auto refusal = VentoyInstallValidation::validatePartitionStyle(
            std::get<VentoyInstallOptions>(options).partitionStyle(), command.disk.sectorSize)) {
        return driveOperation(HelperDriveOperationReport::aborted(Kind::prepare, std::move(*refusal)));
    }
    return withDevice(*deviceProvider, command.disk, BlockAccessMode::readWrite, [&](BlockDevice& device) {
        const std::int32_t diskSignature =
            command.diskSignature ? *command.diskSignature : VentoyInstaller::newDiskSignature();
        const VentoyInstallResult result = installer.install(
            device, command.assets.assetSet(), std::get<VentoyReleaseManifest>(manifest), diskSignature,
            std::get<VentoyInstallOptions>(options), wireProgress(callbacks.onProgress),
            cancellation(callbacks.isCancelled));
        return driveOperation(HelperDriveOperationReport(Kind::prepare, result));
    });
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::Update& command, const Callbacks& callbacks) {
    const auto manifest = trustedRelease(command.assets, installer.bootFileOpener());
    if (const auto* refusal = std::get_if<HelperCommandError>(&manifest)) return failed(*refusal);
    return withDevice(*deviceProvider, command.disk, BlockAccessMode::readWrite, [&](BlockDevice& device) {
        const VentoyInstallResult result =
            installer.update(device, command.assets.assetSet(), std::get<VentoyReleaseManifest>(manifest),
                             wireProgress(callbacks.onProgress), cancellation(callbacks.isCancelled));
        return driveOperation(HelperDriveOperationReport(Kind::update, result));
    });
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::RemoveVentoy& command, const Callbacks& callbacks) {
    const auto values = mapped([&] { return command.options.engineValues(); });
    if (const auto* refusal = std::get_if<HelperCommandError>(&values)) return failed(*refusal);
    const auto& engineValues = std::get<HelperRemoveOptions::EngineValues>(values);
    return withDevice(*deviceProvider, command.disk, BlockAccessMode::readWrite, [&](BlockDevice& device) {
        const DriveFormatResult result = formatter.format(
            device, engineValues.filesystem, engineValues.partitionStyle, command.options.volumeLabel,
            command.options.dataClusterBytes, DriveFormatter::newDiskSignature(), wireProgress(callbacks.onProgress),
            cancellation(callbacks.isCancelled));
        return driveOperation(HelperDriveOperationReport::fromResult(Kind::removeVentoy, result));
    });
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::AddImage&, const Callbacks&) {
    return failed({HelperCommandError::MalformedCommand{"addImage runs in the app through the mounted volume"}});
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::ListImages& command, const Callbacks&) {
    const HelperVentoyLayout& wire = command.ventoyLayout;
    if (!partitionStyleFromRaw(wire.partitionStyle)) {
        return failed({HelperCommandError::MalformedCommand{"unknown partition style \"" + wire.partitionStyle + "\""}});
    }
    const std::optional<VentoyLayout> layout = wire.ventoyLayout();
    if (!layout) {
        return failed({HelperCommandError::MalformedCommand{"sector size " + std::to_string(wire.sectorSize) +
                                                            " is out of range"}});
    }
    return withDevice(*deviceProvider, command.disk, BlockAccessMode::readOnly, [&](BlockDevice& device) {
        const ExfatListingResult listing = ExfatDirectoryReader::readImages(
            device, *layout, ExfatDirectoryReader::bootableImageExtensions, exfatReadOptions);
        return HelperResult{HelperResult::ImageListing{HelperImageListing(listing)}};
    });
}

HelperResult MarlowickEngineRunner::runCase(const HelperCommand::WriteRawImage& command, const Callbacks& callbacks) {
    // Opened once as a probe, so that a missing or unreadable image never unmounts the drive.
    const std::unique_ptr<RawImageSource> source = rawImageProvider->source(command.sourcePath);
    RawImageOpenResult probe = source ? source->open() : RawImageOpenResult::failed("no source");
    auto* opened = std::get_if<RawImageOpenResult::Opened>(&probe.value);
    if (opened == nullptr) return failed({HelperCommandError::CouldNotOpenSource{command.sourcePath}});
    if (opened->stream) opened->stream->close();
    return withDevice(*deviceProvider, command.disk, BlockAccessMode::readWrite, [&](BlockDevice& device) {
        const RawImageWriteResult result = rawImageWriter.write(device, *source, command.verify,
                                                                wireProgress(callbacks.onProgress),
                                                                cancellation(callbacks.isCancelled));
        return driveOperation(HelperDriveOperationReport(result));
    });
}

}  // namespace marlowick
