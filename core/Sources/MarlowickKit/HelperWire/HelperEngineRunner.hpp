#pragma once
// The one interface every drive operation runs through: a command in, one result out,
// progress reported and cancellation polled on the caller's thread along the way. The
// engine itself, the runner that re-identifies the target first, and the runner that
// ships the command to the privileged helper all have this shape.

#include <functional>

#include "HelperWire/HelperCommand.hpp"
#include "HelperWire/HelperProgress.hpp"
#include "HelperWire/HelperResult.hpp"

namespace marlowick {

using HelperProgressHandler = std::function<void(const HelperProgress&)>;
using HelperCancelCheck = std::function<bool()>;

class HelperEngineRunner {
public:
    virtual ~HelperEngineRunner() = default;

    [[nodiscard]] virtual HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                           const HelperCancelCheck& isCancelled) = 0;

    // No progress wanted, never cancelled.
    [[nodiscard]] HelperResult run(const HelperCommand& command) {
        return run(command, [](const HelperProgress&) {}, [] { return false; });
    }
};

}  // namespace marlowick
