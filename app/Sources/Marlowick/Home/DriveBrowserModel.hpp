#pragma once
// The model of the drive browser window, as far as the home screen hands a drive over to
// it and takes it back: built for one prepared drive, standing at the data partition's root
// with nothing listed; reload() starts listing the current folder off the main thread;
// didChangeDrive() turns true once a confirmed delete removed at least one entry, which
// the home screen reads when the browser closes to list the drive's images again.
//
// The folder listing and the deletion themselves, and the drive's file access they go
// through, are not here yet: reload() only counts the requests and markDriveChanged() is
// the step the finished deletion takes.

#include <memory>
#include <string>
#include <utility>

#include "Helper/HelperDiskRef.hpp"
#include "Helper/HelperVentoyLayout.hpp"

namespace marlowick {

class DriveBrowserModel {
public:
    DriveBrowserModel(HelperDiskRef disk, HelperVentoyLayout layout, std::string driveName)
        : diskRef(std::move(disk)),
          ventoyLayout(std::move(layout)),
          title(std::move(driveName)) {}
    DriveBrowserModel(const DriveBrowserModel&) = delete;
    DriveBrowserModel& operator=(const DriveBrowserModel&) = delete;

    [[nodiscard]] const HelperDiskRef& disk() const { return diskRef; }
    [[nodiscard]] const HelperVentoyLayout& layout() const { return ventoyLayout; }
    [[nodiscard]] const std::string& driveName() const { return title; }

    [[nodiscard]] bool didChangeDrive() const { return changed; }
    void markDriveChanged() { changed = true; }

    void reload() { ++reloads; }
    [[nodiscard]] int reloadCount() const { return reloads; }

private:
    HelperDiskRef diskRef;
    HelperVentoyLayout ventoyLayout;
    std::string title;
    bool changed = false;
    int reloads = 0;
};

}  // namespace marlowick
