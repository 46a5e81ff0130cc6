#pragma once
// The application's bridge to the privileged helper program: each run starts the helper
// once, writes the command as one line to its standard input, hands its progress frames to
// onProgress, returns its one result frame, and forwards a cancel request as the cancel
// line while the command runs.
//
// Elevation: adminPrompt starts `pkexec <helper>`, so polkit asks for an administrator's
// password (and, with auth_admin_keep, remembers the answer for a short while itself: the
// runner keeps no authorization of its own). alreadyRoot starts the helper directly, for a
// caller that already has the rights.
//
// One helper at a time per runner: a second run waits for the first. The result and every
// progress call come on the calling thread; isCancelled is polled from a watcher thread
// about every 50 ms while the helper runs. When run returns, the watcher has ended, both
// pipes are closed and the helper has been reaped.
//
// There is no time-out: a helper that neither answers nor exits keeps run waiting.

#include <mutex>
#include <string>
#include <string_view>

#include "HelperWire/HelperEngineRunner.hpp"
#include "HelperWire/HelperLaunchDetail.hpp"

namespace marlowick {

class PrivilegedSubprocessEngineRunner final : public HelperEngineRunner {
public:
    enum class Elevation { adminPrompt, alreadyRoot };

    static constexpr std::string_view encodingFailedDetail = HelperLaunchDetail::encodingFailed;
    static constexpr std::string_view launchFailedPrefix = HelperLaunchDetail::launchFailedPrefix;
    static constexpr std::string_view noResultDetail = HelperLaunchDetail::noResult;
    static constexpr std::string_view authorizationCancelledDetail = HelperLaunchDetail::authorizationCancelled;
    static constexpr std::string_view authorizationFailedDetail = HelperLaunchDetail::authorizationFailed;

    // pkexecPath is the program that elevates; tests put a stand-in there.
    PrivilegedSubprocessEngineRunner(std::string helperPath, Elevation elevation,
                                     std::string pkexecPath = "/usr/bin/pkexec");

    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;
    using HelperEngineRunner::run;

private:
    std::string helperPath;
    Elevation elevation;
    std::string pkexecPath;
    std::mutex lock;
};

}  // namespace marlowick
