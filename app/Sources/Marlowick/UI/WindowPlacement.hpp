#pragma once
// Where a window of the application opens: over the window it belongs to, centred on it.

#include <QWidget>

namespace marlowick::ui {

// Moves the window `child` (its frame) so that its centre is the centre of the window that
// holds `over`; without `over`, the centre of the screen's free area.
void centreOn(QWidget& child, const QWidget* over);

}  // namespace marlowick::ui
