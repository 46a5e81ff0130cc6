#pragma once
// The sheet in which the user chooses the target drive. It lists the disks it is given
// (the home model has already judged them eligible and sorted them), one row per disk with
// its name, size, transport and kernel name, and a warning line for a disk that deserves a
// second look; and it offers "Rescan" and "Cancel". It holds no state of its own and
// reaches the model only through the actions it is given: a pick calls `onSelect`, "Rescan"
// calls `onRescan`, and closing the sheet by any means (Cancel, Escape, the window's close
// button) calls `onCancel`. An action may run inside the click of one of the sheet's own
// buttons: whoever closes the sheet in answer deletes it with deleteLater(), never at once.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Block/DiscoveredDisk.hpp"
#include "UI/Sheet.hpp"

class QPushButton;
class QVBoxLayout;

namespace marlowick {

class DrivePickerView : public ui::Sheet {
    Q_OBJECT
public:
    using SelectAction = std::function<void(const DiscoveredDisk&)>;
    using Action = std::function<void()>;

    DrivePickerView(QWidget& window, std::vector<DiscoveredDisk> disks, SelectAction onSelect, Action onRescan,
                    Action onCancel);

    // Shows `disks` in place of the list shown now (after a rescan).
    void setDisks(std::vector<DiscoveredDisk> disks);
    [[nodiscard]] const std::vector<DiscoveredDisk>& disks() const { return shown; }

    // "<size> · <transport> · <kernel name>"; "Disk" stands for a transport the disk lacks.
    [[nodiscard]] static std::string detailText(const DiscoveredDisk& disk);
    // "<name>, <size>, <transport>, <kernel name>", then ". Warning: " and the caution.
    [[nodiscard]] static std::string accessibilityLabel(const DiscoveredDisk& disk);
    // The warning line of a disk that deserves a second look.
    [[nodiscard]] static std::optional<std::string> cautionText(const DiscoveredDisk& disk);

    static constexpr int sheetWidth = 460;
    static constexpr int listMaximumHeight = 280;

private:
    void rebuildList();

    std::vector<DiscoveredDisk> shown;
    SelectAction onSelect;
    QVBoxLayout* content = nullptr;
    QWidget* listArea = nullptr;  // the list or the empty state, whichever shows
    QPushButton* rescanButton = nullptr;
    QPushButton* cancelButton = nullptr;
};

}  // namespace marlowick
