#include "Files/MountedDeleteReport.hpp"

namespace marlowick {

std::vector<VolumePath> MountedDeleteReport::deleted() const {
    std::vector<VolumePath> paths;
    for (const Outcome& outcome : outcomes) {
        if (!outcome.failure) paths.push_back(outcome.path);
    }
    return paths;
}

std::vector<MountedDeleteReport::Outcome> MountedDeleteReport::failures() const {
    std::vector<Outcome> failed;
    for (const Outcome& outcome : outcomes) {
        if (outcome.failure) failed.push_back(outcome);
    }
    return failed;
}

std::int64_t MountedDeleteReport::removedBytes() const {
    std::int64_t total = 0;
    for (const Outcome& outcome : outcomes) total += outcome.removedBytes;
    return total;
}

void PrintTo(const MountedDeleteReport& report, std::ostream* os) {
    *os << "{";
    for (const MountedDeleteReport::Outcome& outcome : report.outcomes) {
        *os << outcome.path.string() << ": " << (outcome.failure ? render(*outcome.failure) : "deleted") << " ("
            << outcome.removedBytes << " bytes); ";
    }
    *os << (report.wasCancelled ? "cancelled}" : "complete}");
}

}  // namespace marlowick
