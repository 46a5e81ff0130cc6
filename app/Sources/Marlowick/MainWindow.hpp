#pragma once
// The main window: the home screen's content (the home view, with its brand header), in the
// application's brand palette, which follows the desktop's appearance. The window holds no logic; what it
// shows comes from the content widget it is given.
//
// It opens at the size the user last gave it (kept in the settings), or else large enough to
// show a drive's hero with its main action and the drive row without scrolling, and in
// either case within the screen.

#include <optional>

#include <QMainWindow>
#include <QSize>

class QTimer;

namespace marlowick {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Replaces the whole content; the window takes ownership.
    void setContent(QWidget* content);
    [[nodiscard]] QWidget* content() const { return currentContent; }

    // The size a first start opens at; it fits a 1366×768 screen with its panel and the
    // window's frame.
    static constexpr QSize defaultSize{960, 680};
    // What the window manager's frame and the desktop's panels may take beside the screen's
    // free area, reckoned before the window has a frame.
    static constexpr QSize frameAllowance{16, 48};
    // The size to open at: the remembered one, or the default, at most `room`.
    [[nodiscard]] static QSize startingSize(std::optional<QSize> remembered, QSize room);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void rememberSize();

    QWidget* currentContent = nullptr;
    QTimer* sizeSaver = nullptr;
};

}  // namespace marlowick
