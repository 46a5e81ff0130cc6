#pragma once
// The application's look, set once on the application object so that it holds for every
// window, dialog and control it shows, the desktop's own dialogs included:
// - the Fusion style, which draws every control from the palette, with check box frames that
//   read on every surface;
// - the application palette from the brand palette of the appearance in force (links,
//   scroll bars, check boxes, combo boxes and message boxes follow it);
// - the wheel guard (combo boxes, spin boxes and sliders take the wheel only when focused).
//
// The appearance is followed while the program runs: when the desktop changes its theme,
// the palette is handed back to the platform for a moment to read which appearance it now
// has, and the brand palette of that appearance is set again. Every open window gets the
// usual palette-change event.

#include "Design/BrandColor.hpp"

class QApplication;
class QEvent;

namespace marlowick::ui {

void useApplicationLook(QApplication& application);

// Sets the brand palette of the appearance in force now, read again from MARLOWICK_APPEARANCE
// and the platform. For a change that nothing announces: the variable set while the program
// runs (tests, screenshots).
void refreshAppearance();

// Whether `event`, sent to a widget whose brand colours were taken in `madeIn`, tells that
// another appearance is now in force. A new application palette reaches a widget as a
// change of its own palette (QEvent::PaletteChange), not as QEvent::ApplicationPaletteChange,
// which only the application object hears.
[[nodiscard]] bool tellsOfAnotherAppearance(const QEvent& event, Appearance madeIn);

}  // namespace marlowick::ui
