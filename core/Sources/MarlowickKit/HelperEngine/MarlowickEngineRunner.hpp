#pragma once
// The helper's engine: runs one command on the raw device and turns the operation's own
// result into the wire result. Everything that can be refused without the drive is
// refused before the device is opened, so a refused command never unmounts anything: the
// options, a release no trusted manifest vouches for, boot files that are not that
// release's bytes, an image that cannot be opened, a command the helper does not run.
// The device is opened at most once per command (read-only for detect and listImages,
// read-write otherwise, which unmounts the disk first) and closed before run returns.
// Progress arrives as wire stages of the operation's stage names. Holds no state between
// commands; callbacks run on the caller's thread. No failure is thrown: each is a result.

#include <cstdint>
#include <memory>

#include "Exfat/ExfatDirectoryReader.hpp"
#include "Format/DriveFormatter.hpp"
#include "HelperEngine/HelperBlockDeviceProvider.hpp"
#include "HelperWire/HelperEngineRunner.hpp"
#include "Image/RawImageWriter.hpp"
#include "Install/VentoyInstaller.hpp"

namespace marlowick {

class MarlowickEngineRunner final : public HelperEngineRunner {
public:
    // How far detect and listImages walk the data partition without mounting it.
    static constexpr ExfatReadOptions exfatReadOptions{8, 10000, false, 8192};
    // Sectors per read while detect looks for the installed version.
    static constexpr std::int64_t versionScanChunkSectors = 256;

    // Null providers throw std::invalid_argument.
    MarlowickEngineRunner(std::shared_ptr<HelperBlockDeviceProvider> deviceProvider,
                          std::shared_ptr<HelperRawImageSourceProvider> rawImageProvider, VentoyInstaller installer,
                          DriveFormatter formatter, RawImageWriter rawImageWriter);

    using HelperEngineRunner::run;
    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;

private:
    struct Callbacks {
        const HelperProgressHandler& onProgress;
        const HelperCancelCheck& isCancelled;
    };

    [[nodiscard]] HelperResult runCase(const HelperCommand::Detect& command, const Callbacks& callbacks);
    [[nodiscard]] HelperResult runCase(const HelperCommand::Prepare& command, const Callbacks& callbacks);
    [[nodiscard]] HelperResult runCase(const HelperCommand::Update& command, const Callbacks& callbacks);
    [[nodiscard]] HelperResult runCase(const HelperCommand::RemoveVentoy& command, const Callbacks& callbacks);
    [[nodiscard]] HelperResult runCase(const HelperCommand::AddImage& command, const Callbacks& callbacks);
    [[nodiscard]] HelperResult runCase(const HelperCommand::ListImages& command, const Callbacks& callbacks);
    [[nodiscard]] HelperResult runCase(const HelperCommand::WriteRawImage& command, const Callbacks& callbacks);

    std::shared_ptr<HelperBlockDeviceProvider> deviceProvider;
    std::shared_ptr<HelperRawImageSourceProvider> rawImageProvider;
    VentoyInstaller installer;
    DriveFormatter formatter;
    RawImageWriter rawImageWriter;
};

}  // namespace marlowick
