#pragma once
// The sheet that tells the user how to start a PC from the prepared drive: four numbered
// steps and two notes. No state and no logic: "Done" (also Return) closes it, and closing
// it by any means (Done, Escape, the window's close button) calls `onClose` once, from
// inside the sheet's own closing: delete the sheet with deleteLater(), never at once.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "UI/Sheet.hpp"

namespace marlowick {

class BootGuideView : public ui::Sheet {
    Q_OBJECT
public:
    BootGuideView(QWidget& window, std::function<void()> onClose);

    static constexpr std::array<std::string_view, 4> steps{
        "Plug the prepared drive into the computer you want to boot.",
        "Power it on and open the boot menu \xE2\x80\x94 usually F12, F10, F9 or Esc, tapped right after you press "
        "the power button.",
        "Choose the USB drive from the list of boot devices.",
        "Ventoy lists the images on the drive \xE2\x80\x94 pick one to start it.",
    };
    // "Step 2. Power it on …": how a step reads to assistive technology.
    [[nodiscard]] static std::string stepLabel(std::size_t position);

    static constexpr int sheetWidth = 460;
};

}  // namespace marlowick
