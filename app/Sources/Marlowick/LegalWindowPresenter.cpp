#include "LegalWindowPresenter.hpp"

#include <map>

#include "LegalDocumentView.hpp"
#include "UI/WindowPlacement.hpp"

namespace marlowick::LegalWindowPresenter {
namespace {

std::map<LegalDocument, QWidget*>& windows() {
    static std::map<LegalDocument, QWidget*> value;
    return value;
}

}  // namespace

void show(LegalDocument document, const QWidget* over) {
    QWidget*& shown = windows()[document];
    if (shown == nullptr) {
        // Titled, closable, minimisable and resizable; closing only hides it.
        auto* view = new LegalDocumentView(document);
        view->setWindowFlags(Qt::Window);
        view->setAttribute(Qt::WA_QuitOnClose, false);
        view->resize(760, 640);
        shown = view;
    }
    if (!shown->isVisible()) ui::centreOn(*shown, over);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

QWidget* window(LegalDocument document) {
    const auto found = windows().find(document);
    return found == windows().end() ? nullptr : found->second;
}

}  // namespace marlowick::LegalWindowPresenter
