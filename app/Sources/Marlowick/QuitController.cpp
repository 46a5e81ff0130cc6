#include "QuitController.hpp"

#include <QApplication>
#include <QCloseEvent>

namespace marlowick {

QuitController::QuitController(QWidget& mainWindow, std::shared_ptr<HomeViewModel> homeModel,
                               std::function<void()> quit)
    : window(mainWindow), model(std::move(homeModel)), quitApplication(std::move(quit)) {
    if (!quitApplication) {
        quitApplication = [] {
            QApplication::closeAllWindows();
            QCoreApplication::quit();
        };
    }
    window.installEventFilter(this);
    subscription = model->observers().subscribe([this](HomeViewModel::Property property) {
        const bool runChanged =
            property == HomeViewModel::Property::state || property == HomeViewModel::Property::operationTask;
        if (runChanged && asking && !model->quitQuestion()) dismissQuestion();
    });
}

QuitController::~QuitController() { model->observers().unsubscribe(subscription); }

bool QuitController::eventFilter(QObject* watched, QEvent* event) {
    // The window stays while an operation runs or is being stopped; quitting closes it.
    if (watched == &window && event->type() == QEvent::Close && !finishing && (stopping || model->quitQuestion())) {
        event->ignore();
        requestQuit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void QuitController::requestQuit() {
    if (stopping) return;
    if (asking) {
        asking->raise();
        asking->activateWindow();
        return;
    }
    const std::optional<QuitQuestion> question = model->quitQuestion();
    if (!question) {
        stopThenQuit();
        return;
    }
    asking = new ui::DestructiveQuestion(window, QStringLiteral("app.quitQuestion"),
                                         {question->title,
                                          question->message,
                                          {question->stopLabel, "app.quitQuestion.stop"},
                                          {question->keepLabel, "app.quitQuestion.keep"}});
    connect(asking, &QDialog::finished, this, [this, shown = asking.data()](int answer) {
        if (asking == shown) asking = nullptr;
        shown->deleteLater();
        if (answer == QDialog::Accepted) stopThenQuit();
    });
    asking->open();
}

void QuitController::quitWithoutAsking() {
    dismissQuestion();
    stopThenQuit();
}

void QuitController::dismissQuestion() {
    if (!asking) return;
    ui::DestructiveQuestion* shown = asking;
    asking = nullptr;
    shown->disconnect(this);
    shown->done(QDialog::Rejected);
    shown->deleteLater();
}

void QuitController::stopThenQuit() {
    if (stopping) return;
    stopping = true;
    const QPointer<QuitController> self(this);
    model->stopOperation([self] {
        if (self) self->finish();
    });
}

void QuitController::finish() {
    finishing = true;
    quitApplication();
}

}  // namespace marlowick
