#pragma once
// The engine runner the application sends every drive command through. It answers
// addImage itself, on the mounted data partition as the logged-in user: it checks the
// command, resolves and verifies the data volume (mounting it if needed) and copies the
// image with the verified copier. Every other command goes unchanged to the privileged
// runner it wraps, whose result comes back unchanged. Blocking; never throws.

#include <memory>

#include "Files/MountedImageCopier.hpp"
#include "Files/MountedVolume.hpp"
#include "Files/VolumeMountProbe.hpp"
#include "Block/HelperDeviceProbe.hpp"
#include "HelperWire/HelperEngineRunner.hpp"

namespace marlowick {

class MountedVolumeEngineRunner final : public HelperEngineRunner {
public:
    MountedVolumeEngineRunner(std::shared_ptr<HelperEngineRunner> privilegedRunner,
                              std::shared_ptr<HelperDeviceProbe> targetProbe, std::shared_ptr<VolumeMountProbe> volumes,
                              MountedImageCopier imageCopier)
        : privileged(std::move(privilegedRunner)), deviceProbe(std::move(targetProbe)), volumeProbe(std::move(volumes)),
          copier(std::move(imageCopier)) {}

    using HelperEngineRunner::run;
    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;

    // The add-image result of a refused volume: a target refusal fails the command, a file
    // system other than exFAT or FAT is notExfat, anything else volumeUnavailable with the
    // refusal's text form.
    [[nodiscard]] static HelperResult result(const MountedVolumeRefusal& refusal);
    // The add-image result of a copy; `name` and `sourcePath` are the command's.
    [[nodiscard]] static HelperResult result(const MountedImageCopyResult& copy, const std::string& name,
                                             const std::string& sourcePath);

    std::shared_ptr<HelperEngineRunner> privileged;
    std::shared_ptr<HelperDeviceProbe> deviceProbe;
    std::shared_ptr<VolumeMountProbe> volumeProbe;
    MountedImageCopier copier;

private:
    [[nodiscard]] HelperResult addImage(const HelperCommand::AddImage& command, const HelperProgressHandler& onProgress,
                                        const HelperCancelCheck& isCancelled);
};

}  // namespace marlowick
