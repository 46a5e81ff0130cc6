#include "UI/Sheet.hpp"

#include <QChildEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

namespace marlowick::ui {

Sheet::Sheet(QWidget& window, const QString& identifier) : QDialog(&window, Qt::Sheet) {
    setObjectName(identifier);
    setWindowModality(Qt::WindowModal);
}

void Sheet::makeReturnSafe() {
    returnSafe = true;
    clearDefaultButtons();
}

void Sheet::clearDefaultButtons() {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setDefault(false);
        button->setAutoDefault(false);
        button->removeEventFilter(this);
        button->installEventFilter(this);
    }
}

void Sheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A button box makes its accept button the default when it is first shown.
    if (returnSafe) clearDefaultButtons();
}

bool Sheet::eventFilter(QObject* watched, QEvent* event) {
    // A focused push button clicks itself on Return when it is an auto-default button;
    // a button made later, or made default again by its box, must not.
    if (returnSafe && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Sheet::keyPressEvent(QKeyEvent* event) {
    if (returnSafe && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Sheet::childEvent(QChildEvent* event) {
    QDialog::childEvent(event);
    if (returnSafe && event->added()) QTimer::singleShot(0, this, [this] { clearDefaultButtons(); });
}

}  // namespace marlowick::ui
