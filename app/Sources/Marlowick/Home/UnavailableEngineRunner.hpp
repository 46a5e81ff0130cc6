#pragma once
// The engine runner of an installation that lacks the privileged helper program: every
// command fails at once as a device that could not be opened, so every detection and every
// drive operation ends with the message below. Scanning, the pickers and the boot-file
// cache work without it.

#include <string_view>

#include "HelperWire/HelperEngineRunner.hpp"

namespace marlowick {

class UnavailableEngineRunner final : public HelperEngineRunner {
public:
    // A user sentence: the detail of a device that could not be opened is shown as it is.
    static constexpr std::string_view detail =
        "Marlowick's helper program isn't installed, so it can't work with drives. Reinstall Marlowick to fix this.";

    using HelperEngineRunner::run;
    // Never reports progress and never asks whether it is cancelled.
    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;
};

}  // namespace marlowick
