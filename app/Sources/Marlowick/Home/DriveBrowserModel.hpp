#pragma once
// The drive browser window's model: one prepared drive's data partition, walked folder by
// folder, and files deleted from it after a confirmation. It owns every rule of the window:
// which folder is shown and what the content area says, what is selected and whether it can
// be deleted, the confirmation's texts, and the sentence each failure becomes.
//
// Main thread only. Folder listings and deletions block, so each runs on a job of the
// background starter it was given, and its result comes back as a closure posted through
// the main executor. A job holds the model alive until its result has been applied.
//
// At most one listing is current: a new one cancels the one before it, and a result is
// applied only when its listing is still current and the model still shows the folder it
// was asked for, so a late listing is never shown for another folder.
//
// Closing the window closes the model: no listing starts any more, and a delete still
// running stops before its next path. Whoever closes it hears, once the delete has ended,
// whether anything was deleted, so a drive that changed after its window went is not missed.
//
// Observers are told which property changed, only when the new value differs.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "Files/DriveFileAccess.hpp"
#include "HelperWire/HelperCancelLatch.hpp"
#include "Home/BackgroundStarter.hpp"
#include "Home/MainExecutor.hpp"
#include "Home/ModelObservers.hpp"
#include "Home/ModelTask.hpp"

namespace marlowick {

class DriveBrowserModel : public std::enable_shared_from_this<DriveBrowserModel> {
public:
    enum class Property {
        directory,
        listing,
        selection,
        pendingDelete,
        isDeleting,
        deleteNotice,
        didChangeDrive,
        loadTask,
        deleteTask,
    };

    // What the content area shows: the folder's entries in the order the drive's file access
    // gave them, a sentence saying why the folder can't be shown, or that it is being read.
    struct Listing {
        struct Loaded {
            std::vector<MountedEntry> entries;
            bool operator==(const Loaded&) const = default;
        };
        struct Unavailable {
            std::string message;
            bool operator==(const Unavailable&) const = default;
        };
        struct Loading {
            bool operator==(const Loading&) const = default;
        };
        using Case = std::variant<Loaded, Unavailable, Loading>;

        Case value = Loading{};

        [[nodiscard]] const std::vector<MountedEntry>* entries() const {
            const auto* loaded = std::get_if<Loaded>(&value);
            return loaded == nullptr ? nullptr : &loaded->entries;
        }
        bool operator==(const Listing&) const = default;
    };

    // The question asked before a delete: the paths, in listing order, and the alert's texts.
    struct DeleteConfirmation {
        std::vector<VolumePath> paths;
        std::string title;
        std::string message;
        bool operator==(const DeleteConfirmation&) const = default;
    };

    struct Breadcrumb {
        std::string name;
        VolumePath path;
        bool operator==(const Breadcrumb&) const = default;
    };

    using Selection = std::unordered_set<VolumePath>;

    static constexpr std::string_view foldersNotDeletable = "Folders can't be deleted here yet — select files only.";

    // Stands at the root with the listing loading, nothing selected, nothing pending or
    // running, no notice. Starts nothing: its creator calls reload().
    [[nodiscard]] static std::shared_ptr<DriveBrowserModel> create(std::shared_ptr<DriveFileAccess> access,
                                                                   HelperDiskRef disk, HelperVentoyLayout layout,
                                                                   std::string driveName, MainExecutor mainExecutor,
                                                                   BackgroundStarter startBackground = {});
    DriveBrowserModel(const DriveBrowserModel&) = delete;
    DriveBrowserModel& operator=(const DriveBrowserModel&) = delete;
    ~DriveBrowserModel() = default;

    ModelObservers<Property>& observers() { return observerList; }

    // --- What the window reads.
    [[nodiscard]] const std::string& driveName() const { return name; }
    [[nodiscard]] const VolumePath& directory() const { return directoryValue; }
    [[nodiscard]] const Listing& listing() const { return listingValue; }
    [[nodiscard]] const Selection& selection() const { return selectionValue; }
    [[nodiscard]] const std::optional<DeleteConfirmation>& pendingDelete() const { return pendingDeleteValue; }
    [[nodiscard]] bool isDeleting() const { return isDeletingValue; }
    [[nodiscard]] const std::optional<std::string>& deleteNotice() const { return deleteNoticeValue; }
    [[nodiscard]] bool didChangeDrive() const { return didChangeDriveValue; }
    [[nodiscard]] const HelperDiskRef& disk() const { return diskValue; }
    [[nodiscard]] const HelperVentoyLayout& layout() const { return layoutValue; }
    [[nodiscard]] bool isClosed() const { return closed; }

    // The drive's name at the root, then one crumb per folder down to the one shown.
    [[nodiscard]] std::vector<Breadcrumb> breadcrumbs() const;
    // The selected entries of a loaded listing, in listing order.
    [[nodiscard]] std::vector<MountedEntry> selectedEntries() const;
    // At least one path, and each names a file of the loaded listing.
    [[nodiscard]] bool areListedFiles(const Selection& paths) const;
    // Files only, at least one, and no delete running.
    [[nodiscard]] bool canDeleteSelection() const;
    // Why the selection can't be deleted, when a folder is in it.
    [[nodiscard]] std::optional<std::string> deleteUnavailableReason() const;

    // --- What the window does.
    // Lists the shown folder again; returns at once.
    void reload();
    // Opens a folder of the loaded listing; files and unknown paths do nothing.
    void activate(const VolumePath& path);
    // Shows another folder (an enclosing one or a crumb's) without looking it up.
    void goTo(const VolumePath& path);
    void setSelection(Selection value);
    // The window asks its question by storing it; requestDelete() is the usual way.
    void setPendingDelete(std::optional<DeleteConfirmation> value);
    // Asks to delete the selection when it can be deleted; otherwise does nothing.
    void requestDelete();
    // The alert's answers: cancel (also any other way the alert goes) and confirm.
    void cancelDelete();
    void confirmDelete();
    void dismissDeleteNotice();

    // The window went. `onDriveChanged` runs on the main thread when something was deleted:
    // at once when no delete runs, else once the running delete (stopped before its next
    // path) has ended. Later calls do nothing.
    void close(std::function<void()> onDriveChanged);

    // --- The texts, for the window and for tests.
    [[nodiscard]] static DeleteConfirmation confirmation(const std::vector<MountedEntry>& entries);
    [[nodiscard]] static std::string refusalMessage(const MountedVolumeRefusal& refusal);
    [[nodiscard]] static std::string listingMessage(const MountedFileFailure& failure);
    // None when every path was deleted.
    [[nodiscard]] static std::optional<std::string> notice(const MountedDeleteReport& report);

private:
    DriveBrowserModel(std::shared_ptr<DriveFileAccess> access, HelperDiskRef disk, HelperVentoyLayout layout,
                      std::string driveName, MainExecutor mainExecutor, BackgroundStarter startBackground);

    [[nodiscard]] const MountedEntry* entry(const VolumePath& path) const;
    void finishListing(const ModelTaskHandle& task, const VolumePath& listed,
                       const DriveFileOutcome<std::vector<MountedEntry>>& outcome);
    void finishDelete(const DriveFileOutcome<MountedDeleteReport>& outcome);

    void setDirectory(VolumePath value);
    void setListing(Listing value);
    void setIsDeleting(bool value);
    void setDeleteNotice(std::optional<std::string> value);
    void setDidChangeDrive(bool value);

    MainExecutor executor;
    BackgroundStarter startBackground;
    ModelObservers<Property> observerList;

    const std::string name;
    VolumePath directoryValue = VolumePath::root;
    Listing listingValue;
    Selection selectionValue;
    std::optional<DeleteConfirmation> pendingDeleteValue;
    bool isDeletingValue = false;
    std::optional<std::string> deleteNoticeValue;
    bool didChangeDriveValue = false;
    const std::shared_ptr<DriveFileAccess> access;
    const HelperDiskRef diskValue;
    const HelperVentoyLayout layoutValue;
    ModelTaskHandle loadTask;
    ModelTaskHandle deleteTask;

    int runningDeletes = 0;
    bool closed = false;
    // Read by the running deletes' cancel query, off the main thread.
    std::shared_ptr<HelperCancelLatch> stopDeletes = std::make_shared<HelperCancelLatch>();
    std::function<void()> onDriveChangedAfterClose;
};

void PrintTo(const DriveBrowserModel::Listing& listing, std::ostream* os);

}  // namespace marlowick
