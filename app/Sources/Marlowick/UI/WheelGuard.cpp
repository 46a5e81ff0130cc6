#include "UI/WheelGuard.hpp"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

namespace marlowick::ui {
namespace {

// The nearest scroll area around `widget` whose page it is part of.
QAbstractScrollArea* scrollingParent(QWidget& widget) {
    for (QWidget* parent = widget.parentWidget(); parent != nullptr; parent = parent->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(parent)) return area;
        if (parent->isWindow()) break;
    }
    return nullptr;
}

// The same turn of the wheel, at the same place, given to the scroll area's page.
void scrollInstead(QWidget& control, const QWheelEvent& wheel) {
    QAbstractScrollArea* area = scrollingParent(control);
    if (area == nullptr) return;
    QWidget* page = area->viewport();
    QWheelEvent passed(page->mapFromGlobal(wheel.globalPosition()), wheel.globalPosition(), wheel.pixelDelta(),
                       wheel.angleDelta(), wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted(),
                       wheel.source());
    QCoreApplication::sendEvent(page, &passed);
}

}  // namespace

WheelGuard::WheelGuard(QObject* parent) : QObject(parent) {}

bool WheelGuard::guards(const QWidget& widget) {
    if (qobject_cast<const QScrollBar*>(&widget) != nullptr) return false;
    return qobject_cast<const QComboBox*>(&widget) != nullptr || qobject_cast<const QAbstractSpinBox*>(&widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(&widget) != nullptr;
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto& widget = static_cast<QWidget&>(*watched);
    switch (event->type()) {
        case QEvent::Polish:
            if (guards(widget) && widget.focusPolicy() == Qt::WheelFocus) widget.setFocusPolicy(Qt::StrongFocus);
            return false;
        case QEvent::Wheel:
            if (!guards(widget) || widget.hasFocus()) return false;
            scrollInstead(widget, static_cast<QWheelEvent&>(*event));
            return true;
        default:
            return false;
    }
}

void installWheelGuard(QApplication& application) { application.installEventFilter(new WheelGuard(&application)); }

}  // namespace marlowick::ui
