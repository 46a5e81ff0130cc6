#pragma once
// The main window: the home screen's content (the home view, with its brand header), in the
// application's brand palette, which follows the desktop's appearance. The window holds no logic; what it
// shows comes from the content widget it is given.

#include <QMainWindow>

namespace marlowick {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Replaces the whole content; the window takes ownership.
    void setContent(QWidget* content);
    [[nodiscard]] QWidget* content() const { return currentContent; }

private:
    QWidget* currentContent = nullptr;
};

}  // namespace marlowick
