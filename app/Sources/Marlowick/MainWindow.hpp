#pragma once
// The main window: the brand header above the home screen's content, in the brand palette of
// the desktop's appearance (followed when it changes). The window holds no logic; what it
// shows comes from the content widget it is given.

#include <QMainWindow>

class QVBoxLayout;

namespace marlowick {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Replaces what is shown below the header; the window takes ownership.
    void setContent(QWidget* content);
    [[nodiscard]] QWidget* content() const { return currentContent; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyAppearance();

    QVBoxLayout* column = nullptr;
    QWidget* currentContent = nullptr;
};

}  // namespace marlowick
