#pragma once
// Wraps the engine inside the helper: logs each command, re-identifies its target disk
// with a fresh look-up, refuses a raw write whose image lives on that very disk, and only
// then lets the inner runner at the drive. A refusal never reaches the inner runner. The
// source check runs only with a source probe; the helper program builds the runner
// without one. Synchronous, on the caller's thread; caches nothing between commands, so
// a drive swapped between two commands is caught.

#include <memory>

#include "Block/HelperDeviceProbe.hpp"
#include "HelperWire/HelperEngineRunner.hpp"

namespace marlowick {

class VerifyingEngineRunner final : public HelperEngineRunner {
public:
    // `sourceProbe` may be null; a null inner runner or probe throws std::invalid_argument.
    VerifyingEngineRunner(std::shared_ptr<HelperEngineRunner> inner, std::shared_ptr<HelperDeviceProbe> probe,
                          std::shared_ptr<HelperSourceVolumeProbe> sourceProbe);

    using HelperEngineRunner::run;
    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;

private:
    std::shared_ptr<HelperEngineRunner> inner;
    std::shared_ptr<HelperDeviceProbe> probe;
    std::shared_ptr<HelperSourceVolumeProbe> sourceProbe;
};

}  // namespace marlowick
