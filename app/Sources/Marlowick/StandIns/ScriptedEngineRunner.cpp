#include "StandIns/ScriptedEngineRunner.hpp"

#include <string>
#include <utility>

namespace marlowick::testing {

void ScriptedEngineRunner::script(Script answer) {
    const std::lock_guard lock(mutex);
    current = std::move(answer);
}

void ScriptedEngineRunner::answer(HelperResult result) {
    script([result](const HelperCommand&, const HelperProgressHandler&, const HelperCancelCheck&) { return result; });
}

HelperResult ScriptedEngineRunner::run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                       const HelperCancelCheck& isCancelled) {
    Script answer;
    {
        const std::lock_guard lock(mutex);
        received.push_back(command);
        answer = current;
    }
    if (!answer) {
        return HelperResult::failed(
            HelperCommandError::MalformedCommand{"no scripted answer for " + std::string(command.caseName())});
    }
    return answer(command, onProgress, isCancelled);
}

std::vector<HelperCommand> ScriptedEngineRunner::commands() const {
    const std::lock_guard lock(mutex);
    return received;
}

}  // namespace marlowick::testing
