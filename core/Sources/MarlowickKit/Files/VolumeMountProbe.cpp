#include "Files/VolumeMountProbe.hpp"

namespace marlowick {

void PrintTo(const PartitionVolumeInfo& info, std::ostream* os) {
    *os << info.bsdName << " at " << (info.offsetBytes ? std::to_string(*info.offsetBytes) : "?") << ", "
        << info.sizeBytes << " bytes, " << info.volumeKind.value_or("no kind") << ", "
        << (info.mountPoint ? info.mountPoint->string() : "not mounted") << (info.isWritable ? ", writable" : ", read-only");
}

void PrintTo(const VolumeMountAttempt& attempt, std::ostream* os) {
    if (const auto* failed = std::get_if<VolumeMountAttempt::Failed>(&attempt.value)) {
        *os << "failed(" << failed->detail << ")";
    } else {
        *os << "mounted";
    }
}

}  // namespace marlowick
