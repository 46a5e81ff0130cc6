#pragma once
// How the application ends while its home model may be running an operation. Quit, closing
// the main window and the window manager's close all arrive as the window's close: with no
// operation running it closes and the application quits; while one runs the close is held
// and the model's question is asked (ui::DestructiveQuestion, "Don't Quit" the default).
// Stopping, asked for or not (SIGTERM, SIGINT and SIGHUP, the test driver's end), goes
// through the model's stopOperation: the window shows that it waits until the helper
// program has reported its end and the outcome is recorded, then the application quits.
// A question whose operation ends on its own before it is answered is taken away: there is
// nothing left to stop, and the window shows how the operation ended. Main thread only.

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>

#include "Home/HomeViewModel.hpp"
#include "UI/DestructiveQuestion.hpp"

namespace marlowick {

class QuitController : public QObject {
    Q_OBJECT
public:
    // `quitApplication` ends the event loop once nothing runs (none: close every window
    // and quit the application).
    QuitController(QWidget& window, std::shared_ptr<HomeViewModel> model, std::function<void()> quitApplication = {});
    ~QuitController() override;
    QuitController(const QuitController&) = delete;
    QuitController& operator=(const QuitController&) = delete;

    // As the Quit command: asks first while an operation runs.
    void requestQuit();
    // Stops whatever runs without asking, then quits.
    void quitWithoutAsking();

    // The open question; null when none is.
    [[nodiscard]] ui::DestructiveQuestion* question() const { return asking; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stopThenQuit();
    void finish();
    void dismissQuestion();

    QWidget& window;
    std::shared_ptr<HomeViewModel> model;
    std::function<void()> quitApplication;
    std::size_t subscription = 0;
    QPointer<ui::DestructiveQuestion> asking;
    bool stopping = false;
    bool finishing = false;
};

}  // namespace marlowick
