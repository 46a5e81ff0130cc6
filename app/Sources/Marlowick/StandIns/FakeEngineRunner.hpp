#pragma once
// The engine runner of the UI-test world: scripted answers, no drive and no helper
// program. A detection answers the stored result; a listing the stored listing; adding an
// image and every drive operation replay the stored progress and then succeed (a drive
// operation asks once, after the replay, whether it was cancelled, and then reports a
// cancelled run). Holds only values once built; safe on any thread.

#include <vector>

#include "HelperWire/HelperEngineRunner.hpp"
#include "HelperWire/HelperImagePayloads.hpp"

namespace marlowick {

class FakeEngineRunner final : public HelperEngineRunner {
public:
    FakeEngineRunner(HelperResult detectResult, HelperImageListing imageListing,
                     std::vector<HelperProgress> replayedProgress = {})
        : detect(std::move(detectResult)), listing(std::move(imageListing)), writeProgress(std::move(replayedProgress)) {}

    using HelperEngineRunner::run;
    [[nodiscard]] HelperResult run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) override;

    HelperResult detect;
    HelperImageListing listing;
    std::vector<HelperProgress> writeProgress;

private:
    [[nodiscard]] HelperResult driveOperation(HelperDriveOperationReport::Kind kind,
                                              const HelperProgressHandler& onProgress,
                                              const HelperCancelCheck& isCancelled) const;
};

}  // namespace marlowick
