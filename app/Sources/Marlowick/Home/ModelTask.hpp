#pragma once
// A model's handle on one piece of work it started (a detection, an image refresh, an
// operation). Cancelling does not stop the work: the engine call or file listing goes on to
// its end, and the model drops what it brings back when it finds its task cancelled. Read
// and written on the main thread only; handles compare by identity.

#include <memory>

namespace marlowick {

class ModelTask {
public:
    void cancel() { cancelled = true; }
    [[nodiscard]] bool isCancelled() const { return cancelled; }

private:
    bool cancelled = false;
};

using ModelTaskHandle = std::shared_ptr<ModelTask>;

}  // namespace marlowick
