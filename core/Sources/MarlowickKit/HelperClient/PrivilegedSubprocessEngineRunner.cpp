#include "HelperClient/PrivilegedSubprocessEngineRunner.hpp"

#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "Text/ErrnoText.hpp"
#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperLineReader.hpp"
#include "HelperClient/HelperProcess.hpp"
#include "HelperWire/HelperWireCodec.hpp"

namespace marlowick {
namespace {

// pkexec's own exit statuses, when it never started the helper.
constexpr int pkexecDismissedStatus = 126;  // the user dismissed the authentication dialog
constexpr int pkexecRefusedStatus = 127;    // not authorised, or authentication failed

constexpr auto cancelPollInterval = std::chrono::milliseconds(50);

HelperResult deviceFailure(std::string detail) {
    return HelperResult::failed(HelperCommandError::CouldNotOpenDevice{std::move(detail)});
}

// Reads frames until the first result frame, handing each progress frame to onProgress as
// it comes. Empty lines, over-long lines and lines that are no frame are skipped. Absent
// when the output ends first.
std::optional<HelperResult> pumpFrames(int outputDescriptor, const HelperProgressHandler& onProgress) {
    HelperLineReader reader(outputDescriptor);
    for (;;) {
        HelperLineReadResult next = reader.next();
        if (std::holds_alternative<HelperEndOfInput>(next)) return std::nullopt;
        const auto* line = std::get_if<HelperLine>(&next);
        if (line == nullptr || line->bytes.empty()) continue;
        auto frame = HelperLineCoding::decodeFrame(line->bytes);
        if (!frame) continue;
        if (auto* result = std::get_if<HelperWireFrame::Result>(&frame->value)) return std::move(result->result);
        // An empty handler wants no progress.
        if (onProgress) onProgress(std::get<HelperWireFrame::Progress>(frame->value).progress);
    }
}

// Polls isCancelled until the caller stops it; once it answers true, sends the cancel line
// once and ends. A full pipe (a helper that does not read its input) is retried on the next
// tick rather than waited on, so stopping the watcher is always prompt.
void watchForCancel(const std::stop_token& stop, HelperProcess& helper, const HelperCancelCheck& isCancelled) {
    std::mutex tickLock;
    std::condition_variable_any tick;
    std::unique_lock hold(tickLock);
    while (!stop.stop_requested()) {
        if (isCancelled() &&
            helper.tryWriteLine(HelperLineCoding::cancelFrame) != HelperProcess::LineDelivery::wouldBlock) {
            return;
        }
        tick.wait_for(hold, stop, cancelPollInterval, [] { return false; });
    }
}

// Why an elevated helper gave no result: pkexec's own refusal, or the helper's silence.
HelperResult missingResult(PrivilegedSubprocessEngineRunner::Elevation elevation, int waitStatus) {
    using Runner = PrivilegedSubprocessEngineRunner;
    if (elevation == Runner::Elevation::adminPrompt && WIFEXITED(waitStatus)) {
        if (WEXITSTATUS(waitStatus) == pkexecDismissedStatus) {
            return deviceFailure(std::string(Runner::authorizationCancelledDetail));
        }
        if (WEXITSTATUS(waitStatus) == pkexecRefusedStatus) {
            return deviceFailure(std::string(Runner::authorizationFailedDetail));
        }
    }
    return HelperResult::failed(HelperCommandError::MalformedCommand{std::string(Runner::noResultDetail)});
}

}  // namespace

PrivilegedSubprocessEngineRunner::PrivilegedSubprocessEngineRunner(std::string helper, Elevation mode,
                                                                   std::string pkexec)
    : helperPath(std::move(helper)), elevation(mode), pkexecPath(std::move(pkexec)) {}

HelperResult PrivilegedSubprocessEngineRunner::run(const HelperCommand& command,
                                                   const HelperProgressHandler& onProgress,
                                                   const HelperCancelCheck& isCancelled) {
    const std::optional<std::string> commandLine = encodeJson(command);
    if (!commandLine) {
        return HelperResult::failed(HelperCommandError::MalformedCommand{std::string(encodingFailedDetail)});
    }

    const std::lock_guard oneHelperAtATime(lock);
    // pkexec gets the helper's path and nothing else; the helper takes no arguments.
    const std::vector<std::string> arguments = elevation == Elevation::adminPrompt
                                                   ? std::vector<std::string>{pkexecPath, helperPath}
                                                   : std::vector<std::string>{helperPath};
    auto launched = HelperProcess::launch(arguments);
    if (const int* error = std::get_if<int>(&launched)) {
        return deviceFailure(std::string(launchFailedPrefix) + errnoMessage(*error));
    }
    HelperProcess& helper = std::get<HelperProcess>(launched);

    // A failed write means the helper stopped reading; whatever it wrote is still read below.
    // The helper reads its command before it writes anything, so a command larger than the
    // pipe cannot deadlock against a full output pipe.
    (void)helper.writeLine(*commandLine);

    std::optional<HelperResult> result;
    {
        // Stopped and joined at the end of this block, before the input is closed: the
        // watcher never writes to a descriptor that may have been reused.
        std::optional<std::jthread> watcher;
        try {
            // An empty cancel check is never cancelled: there is nothing to watch.
            if (isCancelled) watcher.emplace(
                [&helper, &isCancelled](const std::stop_token& stop) { watchForCancel(stop, helper, isCancelled); });
        } catch (const std::system_error&) {
            // No thread to spare: the command still runs to its result, it just cannot be cancelled.
        }
        result = pumpFrames(helper.outputDescriptor(), onProgress);
    }
    // Closes the input (the helper's cancel watcher sees the end) and the output (a helper
    // still writing gets EPIPE), then reaps the helper.
    const int waitStatus = helper.wait();
    if (result) return std::move(*result);
    return missingResult(elevation, waitStatus);
}

}  // namespace marlowick
