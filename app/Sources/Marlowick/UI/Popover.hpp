#pragma once
// A popover: a small window of explanation anchored to a button, closed by a click outside
// or Escape. Its content is a title over a wrapping text, at a fixed width, and it is as
// tall as that text needs.

#include <QFrame>

namespace marlowick::ui {

class Popover : public QFrame {
    Q_OBJECT
public:
    // `identifier` is the popover's objectName; title and body are shown as plain text.
    Popover(QWidget& anchor, const QString& identifier, const QString& title, const QString& body, int width);

    // Shows it above the anchor (below when there is no room above), inside the screen.
    void present();

private:
    QWidget* anchorWidget;
};

}  // namespace marlowick::ui
