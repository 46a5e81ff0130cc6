#pragma once
// The sheet that asks before an operation starts: the operation and the drive, one sentence
// on what happens to it, the first-use download, the disk image a raw write would put on
// the drive, the large-drive warning, the advanced options of the kinds that reformat, and,
// before anything that erases, an acknowledgement that must be ticked. The acknowledgement
// and the buttons are its footer, always in view; the rest scrolls when the window is too
// small for it. It decides nothing: its sentences and when its action may be pressed come
// from OperationConfirmationPresentation, and its two buttons call what the home view hands
// in. An erasing operation is never confirmed by Return; Cancel takes Escape.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Home/AdvancedInstallOptions.hpp"
#include "Home/HomeOperationKind.hpp"
#include "Home/HomeViewModel.hpp"
#include "Home/VentoyCatalogModel.hpp"
#include "UI/Binding.hpp"
#include "UI/Sheet.hpp"

class QCheckBox;
class QPushButton;
class QToolButton;

namespace marlowick {

class AdvancedOptionsSection;

class OperationConfirmationView : public ui::Sheet {
    Q_OBJECT
public:
    struct Inputs {
        HomeOperationKind kind = HomeOperationKind::prepare;
        std::string deviceName;
        std::int64_t deviceCapacityBytes = 0;
        bool showsLargeDriveCaution = false;  // OperationConfirmationPresentation::showsLargeDriveCaution
        std::optional<std::int64_t> downloadHeadsUpBytes;
        std::optional<HomeViewModel::PendingRawImage> rawImage;
        ui::Binding<AdvancedInstallOptions> options;
        std::function<void()> onConfirm;
        std::function<void()> onCancel;
    };

    // A sheet over `window`.
    OperationConfirmationView(QWidget& window, Inputs inputs, std::shared_ptr<VentoyCatalogModel> catalog);

    // Re-reads the bound options: the action button's enablement and the section.
    void sync();
    // The action button may be pressed now.
    [[nodiscard]] bool confirmEnabled() const;
    // Return presses the action button: only for a kind that erases nothing, while enabled.
    [[nodiscard]] bool returnConfirms() const;

    static constexpr int sheetWidth = 460;

private:
    Inputs inputs;
    std::shared_ptr<VentoyCatalogModel> catalog;
    QCheckBox* acknowledge = nullptr;
    QToolButton* disclosure = nullptr;
    AdvancedOptionsSection* section = nullptr;
    QPushButton* action = nullptr;
};

}  // namespace marlowick
