#include "LegalWindowPresenter.hpp"

#include <map>

#include <QApplication>
#include <QScreen>

#include "LegalDocumentView.hpp"

namespace marlowick::LegalWindowPresenter {
namespace {

std::map<LegalDocument, QWidget*>& windows() {
    static std::map<LegalDocument, QWidget*> value;
    return value;
}

}  // namespace

void show(LegalDocument document) {
    QWidget*& shown = windows()[document];
    if (shown == nullptr) {
        // Titled, closable, minimisable and resizable; closing only hides it.
        auto* view = new LegalDocumentView(document);
        view->setWindowFlags(Qt::Window);
        view->setAttribute(Qt::WA_QuitOnClose, false);
        view->resize(760, 640);
        if (const QScreen* screen = QApplication::primaryScreen()) {
            view->move(screen->availableGeometry().center() - view->rect().center());
        }
        shown = view;
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
}

QWidget* window(LegalDocument document) {
    const auto found = windows().find(document);
    return found == windows().end() ? nullptr : found->second;
}

}  // namespace marlowick::LegalWindowPresenter
