#pragma once
// The main window: the home screen's content (the home view, with its brand header), in the brand palette of
// the desktop's appearance (followed when it changes). The window holds no logic; what it
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

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyAppearance();

    QWidget* currentContent = nullptr;
};

}  // namespace marlowick
