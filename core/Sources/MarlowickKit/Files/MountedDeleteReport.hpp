#pragma once
// The per-path outcome of deleting files and empty folders on a mounted data volume, in the
// order they were asked for. A path that was not reached because the caller cancelled has
// no outcome.

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "Files/MountedFileFailure.hpp"
#include "Files/VolumePath.hpp"

namespace marlowick {

struct MountedDeleteReport {
    struct Outcome {
        VolumePath path;
        std::optional<MountedFileFailure> failure;  // absent: deleted
        std::int64_t removedBytes = 0;              // a deleted file's size; 0 for a folder and a failure
        bool operator==(const Outcome&) const = default;
    };

    std::vector<Outcome> outcomes;
    bool wasCancelled = false;

    [[nodiscard]] std::vector<VolumePath> deleted() const;
    [[nodiscard]] std::vector<Outcome> failures() const;
    [[nodiscard]] std::int64_t removedBytes() const;

    bool operator==(const MountedDeleteReport&) const = default;
};

void PrintTo(const MountedDeleteReport& report, std::ostream* os);

}  // namespace marlowick
