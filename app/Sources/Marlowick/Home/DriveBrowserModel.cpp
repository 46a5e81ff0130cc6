#include "Home/DriveBrowserModel.hpp"

#include <system_error>
#include <utility>

#include "Diagnostics/MarlowickLog.hpp"
#include "Image/ByteCountText.hpp"
#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

using ListOutcome = DriveFileOutcome<std::vector<MountedEntry>>;
using DeleteOutcome = DriveFileOutcome<MountedDeleteReport>;

// A job could not be started: the drive was never reached.
constexpr std::string_view noWorkerThread = "Marlowick couldn't start a background task for the drive. Try again.";

template <class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};
template <class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

std::string deleteFailureReason(const MountedFileFailure& failure) {
    return std::visit(Overloaded{
                          [](const MountedFileFailure::NotFound&) { return std::string("it's no longer on the drive."); },
                          [](const MountedFileFailure::DirectoryNotEmpty&) {
                              return std::string("the folder isn't empty.");
                          },
                          [](const MountedFileFailure::SymbolicLink&) {
                              return std::string("it's a link, which Marlowick won't follow.");
                          },
                          [](const auto&) { return std::string("the drive refused."); },
                      },
                      failure.value);
}

}  // namespace

std::shared_ptr<DriveBrowserModel> DriveBrowserModel::create(std::shared_ptr<DriveFileAccess> access,
                                                             HelperDiskRef disk, HelperVentoyLayout layout,
                                                             std::string driveName, MainExecutor mainExecutor,
                                                             BackgroundStarter startBackground) {
    return std::shared_ptr<DriveBrowserModel>(new DriveBrowserModel(std::move(access), std::move(disk),
                                                                    std::move(layout), std::move(driveName),
                                                                    std::move(mainExecutor),
                                                                    std::move(startBackground)));
}

DriveBrowserModel::DriveBrowserModel(std::shared_ptr<DriveFileAccess> fileAccess, HelperDiskRef disk,
                                     HelperVentoyLayout layout, std::string driveName, MainExecutor mainExecutor,
                                     BackgroundStarter starter)
    : executor(std::move(mainExecutor)),
      startBackground(starter ? std::move(starter) : threadPerJob()),
      name(std::move(driveName)),
      access(std::move(fileAccess)),
      diskValue(std::move(disk)),
      layoutValue(std::move(layout)) {}

// --- Stored properties.

void DriveBrowserModel::setDirectory(VolumePath value) {
    observerList.assign(directoryValue, std::move(value), Property::directory);
}

void DriveBrowserModel::setListing(Listing value) {
    observerList.assign(listingValue, std::move(value), Property::listing);
}

void DriveBrowserModel::setSelection(Selection value) {
    observerList.assign(selectionValue, std::move(value), Property::selection);
}

void DriveBrowserModel::setPendingDelete(std::optional<DeleteConfirmation> value) {
    observerList.assign(pendingDeleteValue, std::move(value), Property::pendingDelete);
}

void DriveBrowserModel::setIsDeleting(bool value) { observerList.assign(isDeletingValue, value, Property::isDeleting); }

void DriveBrowserModel::setDeleteNotice(std::optional<std::string> value) {
    observerList.assign(deleteNoticeValue, std::move(value), Property::deleteNotice);
}

void DriveBrowserModel::setDidChangeDrive(bool value) {
    observerList.assign(didChangeDriveValue, value, Property::didChangeDrive);
}

// --- Derived values.

std::vector<DriveBrowserModel::Breadcrumb> DriveBrowserModel::breadcrumbs() const {
    std::vector<Breadcrumb> crumbs{{name, VolumePath::root}};
    VolumePath path = VolumePath::root;
    for (const std::string& component : directoryValue.components) {
        std::optional<VolumePath> next = path.appending(component);
        if (!next) break;
        path = std::move(*next);
        crumbs.push_back({component, path});
    }
    return crumbs;
}

const MountedEntry* DriveBrowserModel::entry(const VolumePath& path) const {
    const auto* entries = listingValue.entries();
    if (entries == nullptr) return nullptr;
    for (const MountedEntry& candidate : *entries) {
        if (candidate.path == path) return &candidate;
    }
    return nullptr;
}

std::vector<MountedEntry> DriveBrowserModel::selectedEntries() const {
    std::vector<MountedEntry> selected;
    if (const auto* entries = listingValue.entries()) {
        for (const MountedEntry& candidate : *entries) {
            if (selectionValue.contains(candidate.path)) selected.push_back(candidate);
        }
    }
    return selected;
}

bool DriveBrowserModel::areListedFiles(const Selection& paths) const {
    if (paths.empty()) return false;
    for (const VolumePath& path : paths) {
        const MountedEntry* found = entry(path);
        if (found == nullptr || found->isDirectory) return false;
    }
    return true;
}

bool DriveBrowserModel::canDeleteSelection() const {
    const std::vector<MountedEntry> selected = selectedEntries();
    if (selected.empty() || isDeletingValue) return false;
    for (const MountedEntry& candidate : selected) {
        if (candidate.isDirectory) return false;
    }
    return true;
}

std::optional<std::string> DriveBrowserModel::deleteUnavailableReason() const {
    for (const MountedEntry& candidate : selectedEntries()) {
        if (candidate.isDirectory) return std::string(foldersNotDeletable);
    }
    return std::nullopt;
}

// --- Listing.

void DriveBrowserModel::reload() {
    if (closed) return;
    setListing(Listing{Listing::Loading{}});
    if (loadTask) loadTask->cancel();
    auto task = std::make_shared<ModelTask>();
    observerList.assign(loadTask, task, Property::loadTask);

    auto self = shared_from_this();
    const VolumePath listed = directoryValue;
    auto job = [self, task, listed, fileAccess = access, disk = diskValue, layout = layoutValue,
                post = executor]() {
        ListOutcome outcome = fileAccess->list(listed, disk, layout);
        post([self, task, listed, outcome = std::move(outcome)] { self->finishListing(task, listed, outcome); });
    };
    try {
        startBackground(std::move(job));
    } catch (const std::system_error&) {
        setListing(Listing{Listing::Unavailable{std::string(noWorkerThread)}});
    }
}

void DriveBrowserModel::finishListing(const ModelTaskHandle& task, const VolumePath& listed,
                                      const ListOutcome& outcome) {
    // Only the newest listing, and only for the folder still shown: an older one that ends
    // late would otherwise fill another folder with its entries.
    if (task->isCancelled() || task != loadTask || listed != directoryValue) return;
    Listing next = std::visit(Overloaded{
                                  [](const ListOutcome::Done& done) { return Listing{Listing::Loaded{done.value}}; },
                                  [](const ListOutcome::Refused& refused) {
                                      return Listing{Listing::Unavailable{refusalMessage(refused.refusal)}};
                                  },
                                  [](const ListOutcome::Failed& failed) {
                                      MarlowickLog::operationFinished("list folder", false, {render(failed.failure)});
                                      return Listing{Listing::Unavailable{listingMessage(failed.failure)}};
                                  },
                              },
                              outcome.value);
    setListing(std::move(next));
}

void DriveBrowserModel::activate(const VolumePath& path) {
    const MountedEntry* found = entry(path);
    if (found == nullptr || !found->isDirectory) return;
    goTo(path);
}

void DriveBrowserModel::goTo(const VolumePath& path) {
    setDirectory(path);
    setSelection({});
    setDeleteNotice(std::nullopt);
    reload();
}

// --- Deleting.

void DriveBrowserModel::requestDelete() {
    if (!canDeleteSelection()) return;
    setPendingDelete(confirmation(selectedEntries()));
}

void DriveBrowserModel::cancelDelete() { setPendingDelete(std::nullopt); }

void DriveBrowserModel::confirmDelete() {
    if (!pendingDeleteValue || closed) return;
    std::vector<VolumePath> paths = pendingDeleteValue->paths;
    setPendingDelete(std::nullopt);
    ++runningDeletes;
    setIsDeleting(true);
    setDeleteNotice(std::nullopt);
    auto task = std::make_shared<ModelTask>();
    observerList.assign(deleteTask, task, Property::deleteTask);

    auto self = shared_from_this();
    auto job = [self, paths = std::move(paths), fileAccess = access, disk = diskValue, layout = layoutValue,
                stop = stopDeletes, post = executor]() {
        DeleteOutcome outcome = fileAccess->remove(paths, disk, layout, [stop] { return stop->isCancelled(); });
        post([self, outcome = std::move(outcome)] { self->finishDelete(outcome); });
    };
    try {
        startBackground(std::move(job));
    } catch (const std::system_error&) {
        finishDelete(DeleteOutcome::done({}));
        setDeleteNotice(std::string(noWorkerThread));
    }
}

void DriveBrowserModel::finishDelete(const DeleteOutcome& outcome) {
    // Always applied, whichever folder is shown now: the notice tells what happened to the
    // paths the user confirmed.
    --runningDeletes;
    setIsDeleting(runningDeletes > 0);
    if (const MountedDeleteReport* report = outcome.doneValue()) {
        if (!report->deleted().empty()) setDidChangeDrive(true);
        std::vector<std::string> details;
        for (const MountedDeleteReport::Outcome& failed : report->failures()) {
            details.push_back(failed.path.string() + ": " + render(*failed.failure));
        }
        if (!details.empty()) MarlowickLog::operationFinished("delete", false, details);
        setDeleteNotice(notice(*report));
    } else if (const auto* refused = std::get_if<DeleteOutcome::Refused>(&outcome.value)) {
        setDeleteNotice(refusalMessage(refused->refusal));
    } else if (const auto* failed = std::get_if<DeleteOutcome::Failed>(&outcome.value)) {
        MarlowickLog::operationFinished("delete", false, {render(failed->failure)});
        setDeleteNotice(listingMessage(failed->failure));
    }
    setSelection({});
    reload();
    if (closed && runningDeletes == 0 && onDriveChangedAfterClose) {
        std::function<void()> tell = std::move(onDriveChangedAfterClose);
        onDriveChangedAfterClose = nullptr;
        if (didChangeDriveValue) tell();
    }
}

void DriveBrowserModel::dismissDeleteNotice() { setDeleteNotice(std::nullopt); }

void DriveBrowserModel::close(std::function<void()> onDriveChanged) {
    if (closed) return;
    closed = true;
    stopDeletes->cancel();
    if (loadTask) loadTask->cancel();
    setPendingDelete(std::nullopt);
    if (runningDeletes > 0) {
        onDriveChangedAfterClose = std::move(onDriveChanged);
    } else if (didChangeDriveValue && onDriveChanged) {
        onDriveChanged();
    }
}

// --- Texts.

DriveBrowserModel::DeleteConfirmation DriveBrowserModel::confirmation(const std::vector<MountedEntry>& entries) {
    std::int64_t total = 0;
    DeleteConfirmation asked;
    for (const MountedEntry& chosen : entries) {
        // A sum past 64 bits (never met on a real drive) stays at the largest count.
        if (__builtin_add_overflow(total, chosen.sizeBytes, &total)) total = INT64_MAX;
        asked.paths.push_back(chosen.path);
    }
    const std::string size = ByteCountText::fileSize(total);
    if (entries.size() == 1) {
        asked.title = "Delete “" + entries.front().name() + "”?";
        asked.message = "It will be removed from the drive, freeing " + size + ". This can't be undone.";
    } else {
        asked.title = "Delete " + std::to_string(entries.size()) + " files?";
        asked.message = "They will be removed from the drive, freeing " + size + ". This can't be undone.";
    }
    return asked;
}

std::string DriveBrowserModel::refusalMessage(const MountedVolumeRefusal& refusal) {
    const std::string system(PlatformWording::operatingSystem);
    const std::string unreachable =
        system + " couldn't open the drive's data partition. Unplug the drive, plug it back in and try again.";
    return std::visit(Overloaded{
                          [](const MountedVolumeRefusal::Target&) {
                              return std::string("This isn't the drive you picked any more — it was unplugged or "
                                                 "replaced. Close this and pick the drive again.");
                          },
                          [](const MountedVolumeRefusal::NotExfat&) {
                              return std::string("The drive's data partition isn't exFAT, so it can't be opened here.");
                          },
                          [&system](const MountedVolumeRefusal::ReadOnly&) {
                              return system + " has this drive read-only, so nothing on it can be changed.";
                          },
                          [&unreachable](const auto&) { return unreachable; },
                      },
                      refusal.value);
}

std::string DriveBrowserModel::listingMessage(const MountedFileFailure& failure) {
    return std::visit(Overloaded{
                          [](const MountedFileFailure::NotFound&) {
                              return std::string("This folder is no longer on the drive.");
                          },
                          [](const MountedFileFailure::NotADirectory&) {
                              return std::string("This folder is no longer on the drive.");
                          },
                          [](const MountedFileFailure::SymbolicLink&) {
                              return std::string("This folder holds a link, which a Ventoy drive shouldn't have, so "
                                                 "Marlowick won't follow it.");
                          },
                          [](const MountedFileFailure::TooManyEntries&) {
                              return std::string("This folder holds too many items to list.");
                          },
                          [](const auto&) { return std::string("The drive couldn't be read."); },
                      },
                      failure.value);
}

std::optional<std::string> DriveBrowserModel::notice(const MountedDeleteReport& report) {
    const std::vector<MountedDeleteReport::Outcome> failures = report.failures();
    if (failures.empty() && !report.wasCancelled) return std::nullopt;
    std::vector<std::string> lines;
    const std::size_t deleted = report.deleted().size();
    if (deleted == 1) {
        lines.emplace_back("1 file was deleted.");
    } else if (deleted > 1) {
        lines.push_back(std::to_string(deleted) + " files were deleted.");
    }
    for (const MountedDeleteReport::Outcome& failed : failures) {
        lines.push_back("“" + failed.path.name().value_or("/") + "” wasn't deleted: " +
                        deleteFailureReason(*failed.failure));
    }
    if (report.wasCancelled) lines.emplace_back("The rest were left on the drive.");
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

void PrintTo(const DriveBrowserModel::Listing& listing, std::ostream* os) {
    if (const auto* entries = listing.entries()) {
        *os << "loaded[";
        for (const MountedEntry& entry : *entries) *os << entry.path.string() << (entry.isDirectory ? "/ " : " ");
        *os << "]";
    } else if (const auto* unavailable = std::get_if<DriveBrowserModel::Listing::Unavailable>(&listing.value)) {
        *os << "unavailable(" << unavailable->message << ")";
    } else {
        *os << "loading";
    }
}

}  // namespace marlowick
