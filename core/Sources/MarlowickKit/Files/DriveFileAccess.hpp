#pragma once
// How the application's screens reach the files on a prepared drive's data partition
// without knowing how the volume is found and mounted: list one folder, delete paths, list
// the bootable images. The drive is named by its wire reference and its detected layout.
// Every operation blocks; callers run them away from the main thread.

#include <functional>
#include <ostream>
#include <variant>
#include <vector>

#include "Files/MountedDeleteReport.hpp"
#include "Files/MountedEntry.hpp"
#include "Files/MountedFileFailure.hpp"
#include "Files/MountedVolume.hpp"
#include "Files/VolumePath.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/HelperImagePayloads.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"

namespace marlowick {

// done: the operation ran (a deletion's per-path failures live in its report);
// refused: the data volume could not be used, so nothing was looked at;
// failed: the volume was reached but the file operation failed.
template <class Value>
struct DriveFileOutcome {
    struct Done {
        Value value;
        bool operator==(const Done&) const = default;
    };
    struct Refused {
        MountedVolumeRefusal refusal;
        bool operator==(const Refused&) const = default;
    };
    struct Failed {
        MountedFileFailure failure;
        bool operator==(const Failed&) const = default;
    };
    using Case = std::variant<Done, Refused, Failed>;

    Case value;

    static DriveFileOutcome done(Value v) { return {Done{std::move(v)}}; }
    static DriveFileOutcome refused(MountedVolumeRefusal r) { return {Refused{std::move(r)}}; }
    static DriveFileOutcome failed(MountedFileFailure f) { return {Failed{std::move(f)}}; }

    [[nodiscard]] const Value* doneValue() const {
        const auto* d = std::get_if<Done>(&value);
        return d == nullptr ? nullptr : &d->value;
    }
    bool operator==(const DriveFileOutcome&) const = default;
};

using DriveFileCancelCheck = std::function<bool()>;

class DriveFileAccess {
public:
    virtual ~DriveFileAccess() = default;

    // The entries of one folder, hidden ones left out, sorted as file browsers sort names.
    [[nodiscard]] virtual DriveFileOutcome<std::vector<MountedEntry>> list(const VolumePath& path,
                                                                           const HelperDiskRef& disk,
                                                                           const HelperVentoyLayout& layout) = 0;
    // Deletes files and empty folders, one by one; stops between paths once isCancelled
    // answers true. (`delete` is a C++ keyword.)
    [[nodiscard]] virtual DriveFileOutcome<MountedDeleteReport> remove(const std::vector<VolumePath>& paths,
                                                                       const HelperDiskRef& disk,
                                                                       const HelperVentoyLayout& layout,
                                                                       const DriveFileCancelCheck& isCancelled) = 0;
    // Every bootable image file on the volume. This default walks the folders with list():
    // a folder's images before those of its sub-folders, the first listed sub-folder first.
    [[nodiscard]] virtual DriveFileOutcome<std::vector<HelperImageEntry>> listImages(const HelperDiskRef& disk,
                                                                                     const HelperVentoyLayout& layout);
};

template <class Value>
void PrintTo(const DriveFileOutcome<Value>& outcome, std::ostream* os) {
    if (const auto* refused = std::get_if<typename DriveFileOutcome<Value>::Refused>(&outcome.value)) {
        *os << "refused(" << render(refused->refusal) << ")";
    } else if (const auto* failed = std::get_if<typename DriveFileOutcome<Value>::Failed>(&outcome.value)) {
        *os << "failed(" << render(failed->failure) << ")";
    } else {
        *os << "done";
    }
}

}  // namespace marlowick
