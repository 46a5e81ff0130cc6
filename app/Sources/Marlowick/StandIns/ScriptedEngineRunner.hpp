#pragma once
// An engine runner whose answers the test writes: every command is recorded, and the
// current script decides the result, reporting progress or reading the cancel query on
// the way if it likes. Safe to run from several threads.

#include <functional>
#include <mutex>
#include <vector>

#include "HelperWire/HelperEngineRunner.hpp"

namespace marlowick::testing {

class ScriptedEngineRunner final : public HelperEngineRunner {
public:
    using Script =
        std::function<HelperResult(const HelperCommand&, const HelperProgressHandler&, const HelperCancelCheck&)>;

    // Without a script every command fails as malformed, naming itself.
    void script(Script answer);
    // Answers every command with `result`.
    void answer(HelperResult result);

    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;
    using HelperEngineRunner::run;

    [[nodiscard]] std::vector<HelperCommand> commands() const;

private:
    mutable std::mutex mutex;
    Script current;
    std::vector<HelperCommand> received;
};

}  // namespace marlowick::testing
