#pragma once
// Combo boxes, spin boxes and sliders take the mouse wheel only when they have the focus.
// Over one that has not, the wheel scrolls the scroll area the control sits in, as it would
// over any other part of the page, and the control's value stays as it is. Each such control
// is given Qt::StrongFocus when it is polished, so the wheel never gives it the focus either.
//
// Installed once on the application, the guard holds for every such control the application
// creates; scroll bars keep taking the wheel.

#include <QObject>

class QApplication;
class QWidget;

namespace marlowick::ui {

class WheelGuard : public QObject {
    Q_OBJECT
public:
    explicit WheelGuard(QObject* parent = nullptr);

    // Whether the guard holds for this widget: a combo box, a spin box or a slider.
    [[nodiscard]] static bool guards(const QWidget& widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs one guard on `application`, owned by it.
void installWheelGuard(QApplication& application);

}  // namespace marlowick::ui
