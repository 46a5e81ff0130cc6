#include "UI/WindowPlacement.hpp"

#include <QGuiApplication>
#include <QScreen>

namespace marlowick::ui {

void centreOn(QWidget& child, const QWidget* over) {
    // Frame to frame: a window is moved by its frame's corner. A window not shown yet has no
    // frame; it will have one like that of the window it opens over.
    QSize frame = child.frameGeometry().size();
    QRect target;
    if (over != nullptr) {
        const QWidget& window = *over->window();
        target = window.frameGeometry();
        if (!child.isVisible()) frame = child.size() + (target.size() - window.size());
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        target = screen->availableGeometry();
    } else {
        return;
    }
    child.move(target.x() + (target.width() - frame.width()) / 2, target.y() + (target.height() - frame.height()) / 2);
}

}  // namespace marlowick::ui
